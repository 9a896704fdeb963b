<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>linlangok::CLanguageMenu</name>
    <message>
        <location filename="../../../ui/main/LanguageMenu.cpp" line="+12"/>
        <source>语言(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>跟随系统(&amp;S)</source>
        <translation>&amp;System Language</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>琳朗卡拉OK 下次启动时使用所选的语言。</source>
        <translation>Linlang Karaoke speaks the chosen language from its next start.</translation>
    </message>
</context>
</TS>
