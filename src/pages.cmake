# The pages of the main window. Their logic is in kv350logic (logic.cmake),
# what they share in the page layer (pages/); the Command page lives in
# console/, the window in app/.
add_library(kv350pages STATIC
  settings/commonpage.cpp
  settings/profileactions.cpp
  cards/mifare/trailerwrite.cpp
  cards/dump/dumpfiles.cpp
  cards/mifare/autopage.cpp
  cards/mifare/mifarepage.cpp
  cards/mifare/mifarekeypage.cpp
  cards/ntag/ntagpage.cpp
  cards/iso15693/iso15693page.cpp
  cards/lf/lfpage.cpp
  cards/epc/epcpage.cpp
  rftest/rftestpage.cpp
  firmware/upgradereport.cpp
  firmware/firmwarepage.cpp
)
target_include_directories(kv350pages PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kv350pages PUBLIC kv350pagekit kv350pagecore kv350logic kv350link kv350i18n Qt6::Widgets PRIVATE kv350_warnings)
target_link_libraries(kv350pages PUBLIC kv350firmware)
