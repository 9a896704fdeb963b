<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>AudioPlayer</name>
    <message>
        <source>播放文件时出错!</source>
        <translation>Error playing the file!</translation>
    </message>
    <message>
        <source>播放文件时出错!
%1</source>
        <translation>Error playing the file!
%1</translation>
    </message>
</context>
<context>
    <name>CCatalogService</name>
    <message>
        <source>歌库服务器无法连接</source>
        <translation>The library server cannot be reached</translation>
    </message>
</context>
<context>
    <name>CEarMonitor</name>
    <message>
        <source>耳返无法打开设备：%1</source>
        <translation>The monitor cannot open the device: %1</translation>
    </message>
    <message>
        <source>耳返无法打开录音设备 %1。</source>
        <translation>The monitor cannot open the recording device %1.</translation>
    </message>
    <message>
        <source>检测到啸叫，耳返已关闭。</source>
        <translation>Feedback howl detected; the monitor is off.</translation>
    </message>
</context>
<context>
    <name>CFileFinder</name>
    <message>
        <source>错误！</source>
        <translation>Error!</translation>
    </message>
</context>
<context>
    <name>CMainController</name>
    <message>
        <source>隐藏歌词</source>
        <translation>Hide Lyrics</translation>
    </message>
    <message>
        <source>显示歌词</source>
        <translation>Show Lyrics</translation>
    </message>
    <message>
        <source>隐藏列表</source>
        <translation>Hide List</translation>
    </message>
    <message>
        <source>显示列表</source>
        <translation>Show List</translation>
    </message>
    <message>
        <source>隐藏控制</source>
        <translation>Hide Mixer</translation>
    </message>
    <message>
        <source>显示控制</source>
        <translation>Show Mixer</translation>
    </message>
    <message>
        <source>当前正在录音,需要退出程序吗?</source>
        <translation>Recording is in progress. Exit anyway?</translation>
    </message>
</context>
<context>
    <name>CMidiOutputWorker</name>
    <message>
        <source>MIDIOut发送消息出错!</source>
        <translation>Error sending a message to the MIDI output!</translation>
    </message>
    <message>
        <source>无MIDI输出设备!
</source>
        <translation>No MIDI output device!
</translation>
    </message>
    <message>
        <source>打开设备时出错!请尝试设置MIDI输出设备!</source>
        <translation>Error opening the device! Try choosing another MIDI output device.</translation>
    </message>
</context>
<context>
    <name>CMidiSequencer</name>
    <message>
        <source>播放开始时出错!</source>
        <translation>Error starting playback!</translation>
    </message>
    <message>
        <source>停止播放时出错!</source>
        <translation>Error stopping playback!</translation>
    </message>
</context>
<context>
    <name>CMp3StreamWriter</name>
    <message>
        <source>出错</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>CPerformanceController</name>
    <message>
        <source>人声已对齐伴奏 (校正 %1 毫秒)&#x3000;得分 %2</source>
        <translation>Voice aligned to the music (by %1 ms)   Score %2</translation>
    </message>
    <message>
        <source>人声已对齐伴奏 (校正 %1 毫秒)</source>
        <translation>Voice aligned to the music (by %1 ms)</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>试听</source>
        <translation>Listen</translation>
    </message>
    <message>
        <source>无法保存文件 %1
%2</source>
        <translation>Cannot save the file %1
%2</translation>
    </message>
</context>
<context>
    <name>CPhoneService</name>
    <message>
        <source>程序正忙，请稍后再试。</source>
        <translation>The program is busy. Please try again later.</translation>
    </message>
    <message>
        <source>请求太频繁，请稍后再试。</source>
        <translation>Too many requests. Please try again later.</translation>
    </message>
    <message>
        <source>403 禁止访问：请用点歌二维码里的地址打开此页。
</source>
        <translation>403 Forbidden: open this page with the address in the request QR code.
</translation>
    </message>
    <message>
        <source>403 禁止访问：请扫描点歌二维码打开此页。
</source>
        <translation>403 Forbidden: scan the request QR code to open this page.
</translation>
    </message>
    <message>
        <source>请求的地址无效。</source>
        <translation>The requested address is not valid.</translation>
    </message>
    <message>
        <source>请求的参数无效。</source>
        <translation>The request parameters are not valid.</translation>
    </message>
    <message>
        <source>不支持这种请求方法。</source>
        <translation>This request method is not supported.</translation>
    </message>
    <message>
        <source>没有这个页面。</source>
        <translation>There is no such page.</translation>
    </message>
    <message>
        <source>禁止访问。</source>
        <translation>Access denied.</translation>
    </message>
    <message>
        <source>请先用手机扫描点歌二维码打开点歌页面。</source>
        <translation>First scan the request QR code with your phone to open the request page.</translation>
    </message>
    <message>
        <source>这是主持人的操作，请先输入主持人密码。</source>
        <translation>Only the host can do this. Enter the host password first.</translation>
    </message>
    <message>
        <source>请求太大。</source>
        <translation>The request is too large.</translation>
    </message>
    <message>
        <source>请求要用 JSON。</source>
        <translation>The request must be JSON.</translation>
    </message>
    <message>
        <source>请求不是有效的 JSON 对象。</source>
        <translation>The request is not a valid JSON object.</translation>
    </message>
    <message>
        <source>升降调的半音数无效。</source>
        <translation>The key change in semitones is not valid.</translation>
    </message>
    <message>
        <source>这里不播放歌曲。</source>
        <translation>Songs are not played here.</translation>
    </message>
    <message>
        <source>客人%1</source>
        <translation>Guest %1</translation>
    </message>
    <message>
        <source>搜索的字太多。</source>
        <translation>The search is too long.</translation>
    </message>
    <message>
        <source>请求里没有歌曲编号。</source>
        <translation>The request has no song number.</translation>
    </message>
    <message>
        <source>歌库里没有这首歌。</source>
        <translation>This song is not in the library.</translation>
    </message>
    <message>
        <source>每人最多同时点 %1 首歌，请等唱完再点。</source>
        <translation>You can have at most %1 songs in the queue at a time. Please wait until one has been sung.</translation>
    </message>
    <message>
        <source>已点歌曲已满。</source>
        <translation>The queue is full.</translation>
    </message>
    <message>
        <source>名字要有 1 到 %1 个字。</source>
        <translation>A name must have 1 to %1 characters.</translation>
    </message>
    <message>
        <source>请求里没有密码。</source>
        <translation>The request has no password.</translation>
    </message>
    <message>
        <source>密码错了太多次，请过 5 分钟再试。</source>
        <translation>Too many wrong passwords. Please try again in 5 minutes.</translation>
    </message>
    <message>
        <source>主持人密码不对。</source>
        <translation>The host password is wrong.</translation>
    </message>
    <message>
        <source>请求里没有已点歌曲的编号。</source>
        <translation>The request has no queue number.</translation>
    </message>
    <message>
        <source>这首歌已不在已点歌曲里。</source>
        <translation>This song is no longer in the queue.</translation>
    </message>
    <message>
        <source>只能删除自己点的歌。</source>
        <translation>You can only delete songs you requested.</translation>
    </message>
</context>
<context>
    <name>CRecordingController</name>
    <message>
        <source>没有可用的录音设备,无法录音。</source>
        <translation>No recording device is available, so nothing can be recorded.</translation>
    </message>
    <message>
        <source>这段录音没有另存, 保留在 %1</source>
        <translation>This recording was not saved elsewhere; it is kept in %1</translation>
    </message>
</context>
<context>
    <name>CRoomCatalogStore</name>
    <message>
        <source>点唱次数无法存入文件，程序结束前连上歌库服务器时仍会送出。</source>
        <translation>The play counts could not be saved to a file; they are still sent if the library server is reached before the program ends.</translation>
    </message>
    <message>
        <source>得分无法存入文件，歌库服务器不会收到。</source>
        <translation>The score could not be saved to the file; the library server will not get it.</translation>
    </message>
</context>
<context>
    <name>CSongListPresenter</name>
    <message>
        <source>确定要删除当前播放列表吗?</source>
        <translation>Delete the current song list?</translation>
    </message>
    <message>
        <source>默认列表</source>
        <translation>Default list</translation>
    </message>
</context>
<context>
    <name>CSongListStore</name>
    <message>
        <source>无法保存歌曲列表“%1”。</source>
        <translation>Cannot save the song list &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>歌曲列表名不能为空，不能是“.”或“..”，也不能包含“/”、“\”或空字符。</source>
        <translation>A song list name cannot be empty, &quot;.&quot; or &quot;..&quot;, and cannot contain &quot;/&quot;, &quot;\&quot; or a null character.</translation>
    </message>
    <message>
        <source>歌曲列表“%1”已存在。</source>
        <translation>The song list &quot;%1&quot; already exists.</translation>
    </message>
</context>
<context>
    <name>CSongMemory</name>
    <message>
        <source>无法保存歌曲记忆文件 %1</source>
        <translation>Cannot save the song memory file %1</translation>
    </message>
    <message>
        <source>歌曲记忆文件 %1 无法读取 (%2), 已忽略。</source>
        <translation>The song memory file %1 cannot be read (%2) and was ignored.</translation>
    </message>
    <message>
        <source>歌曲记忆文件 %1 中有无法读取的内容, 已忽略。
原文件已另存为 %2</source>
        <translation>The song memory file %1 has unreadable content, which was ignored.
The original file was saved as %2</translation>
    </message>
    <message>
        <source>歌曲记忆文件 %1 中有无法读取的内容, 已忽略。</source>
        <translation>The song memory file %1 has unreadable content, which was ignored.</translation>
    </message>
</context>
<context>
    <name>CSongPicker</name>
    <message>
        <source>已点歌曲已满。</source>
        <translation>The queue is full.</translation>
    </message>
    <message>
        <source>无法保存已点歌曲文件“%1”。</source>
        <translation>Cannot save the queue file &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>CSongScoring</name>
    <message>
        <source>本歌曲无评分数据</source>
        <translation>No scoring data for this song</translation>
    </message>
    <message>
        <source>麦克风无法打开, 本歌曲不评分</source>
        <translation>The microphone cannot be opened; this song is not scored</translation>
    </message>
    <message>
        <source>正在分析原唱旋律…</source>
        <translation>Analysing the melody…</translation>
    </message>
</context>
<context>
    <name>CSongVideo</name>
    <message>
        <source>视频文件中没有声音, 无法播放: %1</source>
        <translation>The video file has no sound and cannot be played: %1</translation>
    </message>
</context>
<context>
    <name>CTakePerformance</name>
    <message>
        <source>%1
人声没有加效果。</source>
        <translation>%1
The voice has no effect.</translation>
    </message>
</context>
<context>
    <name>CatalogScanner</name>
    <message>
        <source>无法读取歌曲文件夹“%1”，其中的歌曲保持原样。</source>
        <translation>Cannot read the song folder &quot;%1&quot;; its songs stay as they were.</translation>
    </message>
</context>
<context>
    <name>DropoutCounter</name>
    <message>
        <source>播放中出现 %1 次断音，录音中出现 %2 次断音(机器负载过高?)</source>
        <translation>%1 dropouts during playback, %2 during recording (is the computer overloaded?)</translation>
    </message>
    <message>
        <source>播放中出现 %1 次断音(机器负载过高?)</source>
        <translation>%1 dropouts during playback (is the computer overloaded?)</translation>
    </message>
    <message>
        <source>录音中出现 %1 次断音(机器负载过高?)</source>
        <translation>%1 dropouts during recording (is the computer overloaded?)</translation>
    </message>
</context>
<context>
    <name>LatencyCalibration</name>
    <message>
        <source>%1 中的 %2=%3 超出 ±10 秒, 已忽略。</source>
        <translation>%2=%3 in %1 is beyond ±10 seconds and was ignored.</translation>
    </message>
</context>
<context>
    <name>LrcParser</name>
    <message>
        <source>Orbisong工作室</source>
        <translation>Orbisong Studio</translation>
    </message>
    <message>
        <source>点击进入</source>
        <translation>Click to visit</translation>
    </message>
    <message>
        <source>在线了解相关系列软件</source>
        <translation>Learn about our other software online</translation>
    </message>
</context>
<context>
    <name>Mp3gSong</name>
    <message>
        <source>压缩包里没有 CD+G 图形文件(.cdg)</source>
        <translation>The archive has no CD+G graphics file (.cdg)</translation>
    </message>
    <message>
        <source>压缩包里没有与“%1”同名的音频文件(.mp3、.ogg、.wav、.flac)</source>
        <translation>The archive has no audio file (.mp3, .ogg, .wav, .flac) with the same name as &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>PhoneGuard</name>
    <message>
        <source>无法读取系统的随机数来源（/dev/urandom）。</source>
        <translation>Cannot read the system&apos;s source of random numbers (/dev/urandom).</translation>
    </message>
</context>
<context>
    <name>PitchLaneLayout</name>
    <message>
        <source>得分 %1 / %2</source>
        <translation>Score %1 / %2</translation>
    </message>
    <message>
        <source>得分 %1</source>
        <translation>Score %1</translation>
    </message>
    <message>
        <source>%1，最高分 %2</source>
        <translation>%1, best %2</translation>
    </message>
    <message>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>第 %1 句</source>
        <translation>Line %1</translation>
    </message>
    <message>
        <source>另有 %1 句</source>
        <translation>%1 more lines</translation>
    </message>
</context>
<context>
    <name>SingingScore</name>
    <message>
        <source>完美</source>
        <translation>Perfect</translation>
    </message>
    <message>
        <source>很好</source>
        <translation>Great</translation>
    </message>
    <message>
        <source>不错</source>
        <translation>Good</translation>
    </message>
    <message>
        <source>加油</source>
        <translation>Keep going</translation>
    </message>
</context>
<context>
    <name>SongListFile</name>
    <message>
        <source>错误!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>文件类型不正确!</source>
        <translation>Wrong file type!</translation>
    </message>
</context>
<context>
    <name>SongQueue</name>
    <message>
        <source>已点歌曲文件无法读取，已另存为 %1，已点歌曲从空开始。</source>
        <translation>The queue file cannot be read. It was set aside as %1 and the queue starts empty.</translation>
    </message>
    <message>
        <source>已点歌曲文件无法读取，也无法改名，已点歌曲从空开始。</source>
        <translation>The queue file cannot be read or renamed. The queue starts empty.</translation>
    </message>
</context>
<context>
    <name>SongScoring</name>
    <message>
        <source>得分 %1 (最高 %2)</source>
        <translation>Score %1 (best %2)</translation>
    </message>
    <message>
        <source>得分 %1</source>
        <translation>Score %1</translation>
    </message>
</context>
<context>
    <name>StageLayout</name>
    <message>
        <source>下一首：%1</source>
        <translation>Next: %1</translation>
    </message>
    <message>
        <source>下一首：%1（%2）</source>
        <translation>Next: %1 (%2)</translation>
    </message>
    <message>
        <source>下一首：%1&#x3000;演唱者：%2</source>
        <translation>Next: %1   Singer: %2</translation>
    </message>
    <message>
        <source>下一首：%1（%2）&#x3000;演唱者：%3</source>
        <translation>Next: %1 (%2)   Singer: %3</translation>
    </message>
</context>
<context>
    <name>StatusText</name>
    <message>
        <source>伴奏:  %1</source>
        <translation>Song:  %1</translation>
    </message>
    <message>
        <source>播放:  %1 | %2</source>
        <translation>Time:  %1 | %2</translation>
    </message>
    <message>
        <source>录音:  %1</source>
        <translation>Rec:  %1</translation>
    </message>
    <message>
        <source>状态:  播放 | 录音</source>
        <translation>Playing | Recording</translation>
    </message>
    <message>
        <source>状态:  播放</source>
        <translation>Playing</translation>
    </message>
    <message>
        <source>状态:  录音</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>状态:  停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>断音 %1 次</source>
        <translation>%1 dropouts</translation>
    </message>
</context>
<context>
    <name>TakeFiles</name>
    <message>
        <source>%1 分 %2 秒</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>这段录音还没有保存, 要放弃它吗?</source>
        <translation>This recording has not been saved. Discard it?</translation>
    </message>
    <message>
        <source>无法保存文件 %1</source>
        <translation>Cannot save the file %1</translation>
    </message>
    <message>
        <source>程序上次没有正常结束, 留下了 %1 段没有保存的录音:
%2

选“是”逐段保存, 选“否”删除它们, 选“取消”下次启动时再问。</source>
        <translation>The program did not close properly last time and left unsaved recordings (%1):
%2

Choose &quot;Yes&quot; to save them one by one, &quot;No&quot; to delete them, or &quot;Cancel&quot; to be asked again next time.</translation>
    </message>
    <message>
        <source>保存录于 %1 的录音</source>
        <translation>Save the recording made on %1</translation>
    </message>
</context>
<context>
    <name>UltraStarSong</name>
    <message>
        <source>警告太多，其余从略</source>
        <translation>Too many warnings; the rest are left out</translation>
    </message>
    <message>
        <source>第 %1 行过长，已跳过</source>
        <translation>Line %1 is too long and was skipped</translation>
    </message>
    <message>
        <source>第 %1 行不是“#键:值”的标题，已跳过</source>
        <translation>Line %1 is not a &quot;#KEY:VALUE&quot; header and was skipped</translation>
    </message>
    <message>
        <source>第 %1 行起的标题太多，已跳过</source>
        <translation>Too many headers from line %1 on; they were skipped</translation>
    </message>
    <message>
        <source>不支持的 UltraStar 版本：%1</source>
        <translation>Unsupported UltraStar version: %1</translation>
    </message>
    <message>
        <source>#%1 只用于无版本的歌曲，已忽略</source>
        <translation>#%1 is only for songs without a version and was ignored</translation>
    </message>
    <message>
        <source>第 %1 行的声部 P%2 不是 P1 或 P2，其音符已跳过</source>
        <translation>Line %1: part P%2 is not P1 or P2; its notes were skipped</translation>
    </message>
    <message>
        <source>第 %1 行起的音符太多，已跳过</source>
        <translation>Too many notes from line %1 on; they were skipped</translation>
    </message>
    <message>
        <source>第 %1 行无法识别，已跳过</source>
        <translation>Line %1 was not understood and was skipped</translation>
    </message>
    <message>
        <source>第 %1 行的音符超出范围，已跳过</source>
        <translation>Line %1: the note is out of range and was skipped</translation>
    </message>
    <message>
        <source>第 %1 行的变速无效，已跳过</source>
        <translation>Line %1: the tempo change is not valid and was skipped</translation>
    </message>
    <message>
        <source>第 %1 行的相对偏移无效，按 0 计</source>
        <translation>Line %1: the relative offset is not valid and counts as 0</translation>
    </message>
    <message>
        <source>不认识的编码“%1”，已自动选择</source>
        <translation>Unknown encoding &quot;%1&quot;; one was chosen automatically</translation>
    </message>
    <message>
        <source>#%1 的值无效，已忽略</source>
        <translation>The value of #%1 is not valid and was ignored</translation>
    </message>
    <message>
        <source>第 %1 行的音符与前面的音符重叠</source>
        <translation>Line %1: the note overlaps the one before</translation>
    </message>
    <message>
        <source>歌曲文件过大</source>
        <translation>The song file is too large</translation>
    </message>
    <message>
        <source>不是 UltraStar 歌曲文件</source>
        <translation>Not an UltraStar song file</translation>
    </message>
    <message>
        <source>歌曲没有有效的 BPM</source>
        <translation>The song has no valid BPM</translation>
    </message>
    <message>
        <source>歌曲中没有音符</source>
        <translation>The song has no notes</translation>
    </message>
</context>
<context>
    <name>UltraStarSound</name>
    <message>
        <source>找不到歌曲的音频文件“%1”</source>
        <translation>Cannot find the song&apos;s audio file &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>VocalLayout</name>
    <message>
        <source>左声道原唱</source>
        <translation>Vocals on the left channel</translation>
    </message>
    <message>
        <source>右声道原唱</source>
        <translation>Vocals on the right channel</translation>
    </message>
    <message>
        <source>音轨 %1</source>
        <translation>Track %1</translation>
    </message>
</context>
<context>
    <name>VocalMelody</name>
    <message>
        <source>原唱与伴唱不是同一混音，本歌曲无法评分</source>
        <translation>Vocals and Backing are not the same mix, so this song cannot be scored</translation>
    </message>
    <message>
        <source>原唱与伴唱之差中没有歌声，本歌曲无法评分</source>
        <translation>No singing between Vocals and Backing, so this song cannot be scored</translation>
    </message>
    <message>
        <source>读不出原唱与伴唱，本歌曲无法评分</source>
        <translation>Vocals and Backing cannot be read, so this song cannot be scored</translation>
    </message>
</context>
<context>
    <name>VoicePresets</name>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>KTV</source>
        <translation>KTV</translation>
    </message>
    <message>
        <source>录音棚</source>
        <translation>Studio</translation>
    </message>
    <message>
        <source>大厅</source>
        <translation>Hall</translation>
    </message>
    <message>
        <source>回声</source>
        <translation>Echo</translation>
    </message>
    <message>
        <source>找不到效果插件“%1”。请安装软件包 %2。</source>
        <translation>Cannot find the effect plugin &quot;%1&quot;. Please install the package %2.</translation>
    </message>
    <message>
        <source>找不到效果插件“%1”。</source>
        <translation>Cannot find the effect plugin &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>VolumeTool</name>
    <message>
        <source>音量控制</source>
        <translation>Volume Control</translation>
    </message>
    <message>
        <source>找不到系统的音量控制程序。请安装 pavucontrol，或安装 alsamixer 和一个终端程序。</source>
        <translation>Cannot find the system&apos;s volume control program. Please install pavucontrol, or alsamixer and a terminal program.</translation>
    </message>
    <message>
        <source>无法启动 %1。</source>
        <translation>Cannot start %1.</translation>
    </message>
</context>
</TS>
