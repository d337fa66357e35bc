# The pages of the main window and the control builders they share. The
# Command page lives in console/; the window itself in app/.
add_library(kv350pages STATIC
  widgets/controls.cpp
  settings/commonpage.cpp
  settings/readersettings.cpp
  cards/cardcommon.cpp
  cards/mifare/accessbits.cpp
  cards/mifare/mifareframes.cpp
  cards/mifare/trailerguard.cpp
  cards/mifare/autopage.cpp
  cards/mifare/mifarepage.cpp
  cards/mifare/mifarekeypage.cpp
  cards/ntag/ndef.cpp
  cards/ntag/ntagframes.cpp
  cards/ntag/ntaglocks.cpp
  cards/ntag/ntagpage.cpp
  cards/iso15693/isoframes.cpp
  cards/iso15693/iso15693page.cpp
  cards/lf/lfpage.cpp
  cards/epc/epccommands.cpp
  cards/epc/epcpage.cpp
  rftest/radiotexts.cpp
  rftest/rftestpage.cpp
  firmware/firmwarepage.cpp
)
target_include_directories(kv350pages PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kv350pages PUBLIC kv350link kv350i18n Qt6::Widgets PRIVATE kv350_warnings)
target_link_libraries(kv350pages PUBLIC kv350firmware)
