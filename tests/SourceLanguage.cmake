# Read by CTest before it runs the tests: the programs the tests start speak the source texts'
# language whatever the machine's locale, as the tests compare those texts.
set(ENV{LINLANGOK_LANGUAGE} "zh_CN")
