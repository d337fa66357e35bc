# The fuzz targets: fuzz/<name>_fuzz.cpp each. Built as libFuzzer programs by
# fuzz/CMakeLists.txt (KV350_FUZZ) and into the regression test of
# tests/fuzzregress in every build.
set(KV350_FUZZ_TARGETS frame response transaction hextext kfw reader uhf access ndef profile dumpmct dumpbin dumpjson dumpnfc record)
set(KV350_FUZZ_LIBRARIES kv350pages kv350pagekit kv350pagecore kv350console kv350cli kv350logic kv350firmware kv350sim kv350link Qt6::Widgets)
