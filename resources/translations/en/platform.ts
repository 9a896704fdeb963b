<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>CCatalogSelection</name>
    <message>
        <source>LINLANGOK_CATALOG 应为 PostgreSQL 的连接串（postgresql://…），而不是“%1”。</source>
        <translation>LINLANGOK_CATALOG should be a PostgreSQL connection string (postgresql://…), not &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>所记的歌库服务器应为 PostgreSQL 的连接串，而不是“%1”。</source>
        <translation>The remembered library server should be a PostgreSQL connection string, not “%1”.</translation>
    </message>
</context>
<context>
    <name>CHttplibServer</name>
    <message>
        <source>无法在 %1 的端口 %2 上启动手机点歌服务（%3）。</source>
        <translation>Cannot start the Phones service on port %2 of %1 (%3).</translation>
    </message>
</context>
<context>
    <name>CIsolatedVoiceEffect</name>
    <message>
        <source>效果插件“%1”已崩溃，已关闭。</source>
        <translation>The effect plugin &quot;%1&quot; crashed and was turned off.</translation>
    </message>
    <message>
        <source>效果插件“%1”没有响应，已关闭。</source>
        <translation>The effect plugin &quot;%1&quot; stopped responding and was turned off.</translation>
    </message>
    <message>
        <source>效果插件“%1”输出了无效的声音，已关闭。</source>
        <translation>The effect plugin &quot;%1&quot; produced invalid sound and was turned off.</translation>
    </message>
    <message>
        <source>无法启动效果程序：%1</source>
        <translation>Cannot start the effect host: %1</translation>
    </message>
    <message>
        <source>无法启动效果程序“%1”：%2</source>
        <translation>Cannot start the effect host &quot;%1&quot;: %2</translation>
    </message>
</context>
<context>
    <name>CLv2Effect</name>
    <message>
        <source>效果插件“%1”输出了无效的声音，已关闭。</source>
        <translation>The effect plugin &quot;%1&quot; produced invalid sound and was turned off.</translation>
    </message>
</context>
<context>
    <name>CMetaMessage</name>
    <message>
        <source>Meta数据长度出错!</source>
        <translation>Invalid meta event length!</translation>
    </message>
</context>
<context>
    <name>CMidiFileReader</name>
    <message>
        <source>读文件时出错!</source>
        <translation>Error reading the file!</translation>
    </message>
    <message>
        <source>不能打开所选文件,或文件不存在!</source>
        <translation>Cannot open the selected file, or it does not exist!</translation>
    </message>
    <message>
        <source>文件类型不正确!</source>
        <translation>Wrong file type!</translation>
    </message>
    <message>
        <source>文件类型无效!</source>
        <translation>Invalid file type!</translation>
    </message>
    <message>
        <source>无效的文件格式!</source>
        <translation>Invalid file format!</translation>
    </message>
    <message>
        <source>音轨数错误!</source>
        <translation>Wrong number of tracks!</translation>
    </message>
    <message>
        <source>对不起,该文件采用了暂时不能处理的SMPTE定时方式!</source>
        <translation>Sorry, this file uses SMPTE timing, which is not supported yet!</translation>
    </message>
</context>
<context>
    <name>CMidiFileWriter</name>
    <message>
        <source>写Mid文件时出错!</source>
        <translation>Error writing the MIDI file!</translation>
    </message>
</context>
<context>
    <name>CMidiOutputDeviceList</name>
    <message>
        <source>内置合成器 (FluidSynth)</source>
        <translation>Built-in synthesizer (FluidSynth)</translation>
    </message>
</context>
<context>
    <name>CMidiSong</name>
    <message>
        <source>%1: 语言</source>
        <translation>Language: %1</translation>
    </message>
    <message>
        <source>%1: 版本</source>
        <translation>Version: %1</translation>
    </message>
    <message>
        <source>未命名</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>%1: 作曲</source>
        <translation>Music: %1</translation>
    </message>
    <message>
        <source>%1: 作词</source>
        <translation>Lyrics: %1</translation>
    </message>
    <message>
        <source>欢迎光临 %1</source>
        <translation>Welcome to %1</translation>
    </message>
</context>
<context>
    <name>CPostgresCatalogStore</name>
    <message>
        <source>无法连接歌库服务器：内存不足</source>
        <translation>Cannot connect to the library server: out of memory</translation>
    </message>
    <message>
        <source>无法连接歌库服务器（%1）：%2</source>
        <translation>Cannot connect to the library server (%1): %2</translation>
    </message>
    <message>
        <source>歌库服务器出错（%1）：%2</source>
        <translation>The library server failed (%1): %2</translation>
    </message>
    <message>
        <source>歌库数据库的版本 %1 不是本程序能用的，未作改动。</source>
        <translation>The library database is of version %1, which this program cannot use; it was left unchanged.</translation>
    </message>
</context>
<context>
    <name>CSqliteCatalogStore</name>
    <message>
        <source>歌库数据库 %1 无法读取，也无法改名：%2</source>
        <translation>The library database %1 cannot be read or renamed: %2</translation>
    </message>
    <message>
        <source>歌库数据库是空文件、已损坏或不是本程序的文件，已改名为 %1，歌库已重建，请重新扫描歌曲文件夹。</source>
        <translation>The library database was empty, damaged or not this program&apos;s file. It was renamed to %1 and the library was rebuilt; please scan your song folders again.</translation>
    </message>
    <message>
        <source>歌库数据库 %1 无法建立</source>
        <translation>Cannot create the library database %1</translation>
    </message>
    <message>
        <source>歌库数据库出错（%1）：%2</source>
        <translation>Library database error (%1): %2</translation>
    </message>
</context>
<context>
    <name>CUchardetTextEncodings</name>
    <message>
        <source>简体中文 (GB18030)</source>
        <translation>Simplified Chinese (GB18030)</translation>
    </message>
    <message>
        <source>繁体中文 (BIG5)</source>
        <translation>Traditional Chinese (BIG5)</translation>
    </message>
    <message>
        <source>日文 (Shift-JIS)</source>
        <translation>Japanese (Shift-JIS)</translation>
    </message>
    <message>
        <source>韩文 (EUC-KR)</source>
        <translation>Korean (EUC-KR)</translation>
    </message>
    <message>
        <source>系统默认 (%1)</source>
        <translation>System default (%1)</translation>
    </message>
</context>
<context>
    <name>CZipArchive</name>
    <message>
        <source>无法打开压缩包: %1</source>
        <translation>Cannot open the archive: %1</translation>
    </message>
    <message>
        <source>压缩包里的文件太多(超过 %1 个)</source>
        <translation>The archive holds too many files (more than %1)</translation>
    </message>
    <message>
        <source>压缩包里的“%1”指向压缩包以外的文件夹, 不予打开</source>
        <translation>&quot;%1&quot; in the archive points to a folder outside the archive; it is not opened</translation>
    </message>
    <message>
        <source>压缩包里的“%1”解压后超过 %2, 不予打开</source>
        <translation>&quot;%1&quot; in the archive unpacks to more than %2; it is not opened</translation>
    </message>
    <message>
        <source>读压缩包里的“%1”时出错: %2</source>
        <translation>Error reading &quot;%1&quot; in the archive: %2</translation>
    </message>
    <message>
        <source>压缩包里的“%1”有密码保护</source>
        <translation>&quot;%1&quot; in the archive is password-protected</translation>
    </message>
    <message>
        <source>压缩包里的“%1”的压缩方法不受支持</source>
        <translation>&quot;%1&quot; in the archive uses an unsupported compression method</translation>
    </message>
</context>
<context>
    <name>CatalogCommands</name>
    <message>
        <source>“%1”不是一个文件夹。</source>
        <translation>&quot;%1&quot; is not a folder.</translation>
    </message>
    <message>
        <source>歌库中没有“%1”。</source>
        <translation>&quot;%1&quot; is not in the library.</translation>
    </message>
    <message>
        <source>已点歌曲已满。</source>
        <translation>The queue is full.</translation>
    </message>
    <message>
        <source>无法保存已点歌曲文件“%1”。</source>
        <translation>Cannot save the queue file &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>歌库离线，搜索的是上次载入的歌曲：%1</source>
        <translation>Library offline, searching the songs loaded last: %1</translation>
    </message>
    <message>
        <source>歌库离线，点唱次数连上后送出：%1</source>
        <translation>Library offline, play counts are sent once connected: %1</translation>
    </message>
</context>
<context>
    <name>EarMonitorDevices</name>
    <message>
        <source>没有录音设备。</source>
        <translation>No recording device.</translation>
    </message>
</context>
<context>
    <name>LyricsCommands</name>
    <message>
        <source>无法打开歌词文件“%1”: %2。</source>
        <translation>Cannot open the lyrics file &quot;%1&quot;: %2.</translation>
    </message>
</context>
<context>
    <name>Mp3gSongFiles</name>
    <message>
        <source>找不到与“%1”同名的音频文件(.mp3、.ogg、.wav、.flac)</source>
        <translation>No audio file (.mp3, .ogg, .wav, .flac) with the same name as &quot;%1&quot; was found</translation>
    </message>
    <message>
        <source>找不到与“%1”同名的 CD+G 图形文件(.cdg)</source>
        <translation>No CD+G graphics file (.cdg) with the same name as &quot;%1&quot; was found</translation>
    </message>
    <message>
        <source>无法读取“%1”: %2</source>
        <translation>Cannot read &quot;%1&quot;: %2</translation>
    </message>
</context>
<context>
    <name>Product</name>
    <message>
        <source>琳朗卡拉OK</source>
        <translation>Linlang Karaoke</translation>
    </message>
</context>
<context>
    <name>RegularFile</name>
    <message>
        <source>文件不存在</source>
        <translation>File not found</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>文件太大</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>读文件时出错</source>
        <translation>Error reading the file</translation>
    </message>
</context>
<context>
    <name>RenderAudio</name>
    <message>
        <source>无法写入文件 %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
    <message>
        <source>文件后面的数据无法解码, 只写入了前面的部分: %1</source>
        <translation>The end of the file could not be decoded; only the part before it was written: %1</translation>
    </message>
</context>
<context>
    <name>RenderSong</name>
    <message>
        <source>没有找到SoundFont音色库 (LINLANGOK_SOUNDFONT)</source>
        <translation>No SoundFont found (LINLANGOK_SOUNDFONT)</translation>
    </message>
    <message>
        <source>乐曲中没有可以播放的事件: %1</source>
        <translation>The song has no events to play: %1</translation>
    </message>
    <message>
        <source>无法写入文件 %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
</context>
<context>
    <name>ScoreCommands</name>
    <message>
        <source>%1: 本歌曲无评分数据 (the song has no melody to score against)</source>
        <translation>%1: the song has no melody to score against</translation>
    </message>
</context>
<context>
    <name>SongListCommands</name>
    <message>
        <source>歌曲列表文件“%1”不完整，只读出了前 %2 首歌曲。</source>
        <translation>The song list file &quot;%1&quot; is incomplete; only its first %2 songs were read.</translation>
    </message>
    <message>
        <source>无法打开歌曲列表文件“%1”。</source>
        <translation>Cannot open the song list file &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>无法写入歌曲列表文件“%1”。</source>
        <translation>Cannot write the song list file &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>UserPrompts</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>琳朗卡拉OK 1.2</source>
        <translation>Linlang Karaoke 1.2</translation>
    </message>
    <message>
        <source>该文件已经存在,您确定要覆盖它吗?</source>
        <translation>The file already exists. Do you want to replace it?</translation>
    </message>
</context>
<context>
    <name>VideoCommands</name>
    <message>
        <source>无法读取视频文件 %1: %2</source>
        <translation>Cannot read the video file %1: %2</translation>
    </message>
    <message>
        <source>视频文件中没有声音: %1</source>
        <translation>The video file has no sound: %1</translation>
    </message>
    <message>
        <source>视频文件中没有画面: %1</source>
        <translation>The video file has no picture: %1</translation>
    </message>
    <message>
        <source>视频文件中的画面无法解码: %1</source>
        <translation>The video file&apos;s picture cannot be decoded: %1</translation>
    </message>
    <message>
        <source>无法写入文件 %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
</context>
</TS>
