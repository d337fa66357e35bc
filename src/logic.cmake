# The card and settings logic: frame builders, parsers, encoders and the texts
# the pages show, as free functions. No widgets, so that kv350ctl, the
# benchmarks and the tests link it as the pages do.
add_library(kv350logic STATIC
  settings/readersettings.cpp
  settings/profile.cpp
  cards/hextext.cpp
  cards/mifare/accessbits.cpp
  cards/mifare/mifareframes.cpp
  cards/mifare/trailerguard.cpp
  cards/ntag/ndef.cpp
  cards/ntag/ntagframes.cpp
  cards/ntag/ntaglocks.cpp
  cards/ntag/ntagdump.cpp
  cards/dump/cardimage.cpp
  cards/dump/cardexchange.cpp
  cards/dump/dumpformats.cpp
  cards/dump/pm3json.cpp
  cards/dump/flipperformat.cpp
  cards/dump/keysfile.cpp
  cards/mifare/mifaredump.cpp
  cards/mifare/mifarerestore.cpp
  cards/iso15693/isoframes.cpp
  cards/epc/epccommands.cpp
  rftest/radiotexts.cpp
  console/requesttext.cpp
  log/sessionlog.cpp
  log/sessionlogfile.cpp
)
target_include_directories(kv350logic PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kv350logic PUBLIC kv350link kv350i18n Qt6::Core PRIVATE kv350_warnings)
