<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>CInputLevelMeterWidget</name>
    <message>
        <source>输入电平</source>
        <translation>Input level</translation>
    </message>
</context>
<context>
    <name>CMainWindow</name>
    <message>
        <source>伴奏文件:</source>
        <translation>Music:</translation>
    </message>
    <message>
        <source>伴奏文件</source>
        <translation>Accompaniment file</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>歌词文件:</source>
        <translation>Lyrics:</translation>
    </message>
    <message>
        <source>歌词文件</source>
        <translation>Lyrics file</translation>
    </message>
    <message>
        <source>同步播放开始</source>
        <translation>Start in sync</translation>
    </message>
    <message>
        <source>同步播放结束</source>
        <translation>Stop in sync</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>录音</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>音调调整:</source>
        <translation>Key:</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>音调调整</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>隐藏列表</source>
        <translation>Hide List</translation>
    </message>
    <message>
        <source>隐藏控制</source>
        <translation>Hide Volume</translation>
    </message>
    <message>
        <source>隐藏歌词</source>
        <translation>Hide Lyrics</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>原唱旋律</source>
        <translation>Melody</translation>
    </message>
    <message>
        <source>速度:</source>
        <translation>Rate:</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>Tempo</translation>
    </message>
</context>
<context>
    <name>CPerformanceWindow</name>
    <message>
        <source>伴奏</source>
        <translation>Band</translation>
    </message>
    <message>
        <source>人声与伴奏的平衡</source>
        <translation>Balance of voice and accompaniment</translation>
    </message>
    <message>
        <source>人声</source>
        <translation>Voice</translation>
    </message>
    <message>
        <source>试听</source>
        <translation>Listen</translation>
    </message>
    <message>
        <source>保存演唱...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>CPictureView</name>
    <message>
        <source>视频画面</source>
        <translation>Video picture</translation>
    </message>
</context>
<context>
    <name>CQtUserPrompts</name>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>CSearchResultsModel</name>
    <message>
        <source>歌名</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>歌手</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Length</translation>
    </message>
</context>
<context>
    <name>CSongListWindow</name>
    <message>
        <source>歌曲列表</source>
        <translation>Song list</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>删除列表</source>
        <translation>Delete list</translation>
    </message>
    <message>
        <source>歌曲</source>
        <translation>Songs</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>添加文件</source>
        <translation>Add file</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>添加文件夹</source>
        <translation>Add folder</translation>
    </message>
    <message>
        <source>删除歌曲</source>
        <translation>Delete song</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>在线搜歌</source>
        <translation>Search Web</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>CStatusDisplay</name>
    <message>
        <source>状态显示</source>
        <translation>Status display</translation>
    </message>
</context>
<context>
    <name>CVolumeWindow</name>
    <message>
        <source>播放</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>录音</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>录音设备:</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>录音设备</source>
        <translation>Recording device</translation>
    </message>
    <message>
        <source>主音量</source>
        <translation>Master</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>主音量静音</source>
        <translation>Mute master volume</translation>
    </message>
    <message>
        <source>Wav</source>
        <translation>Wav</translation>
    </message>
    <message>
        <source>Wav 音量</source>
        <translation>Wav volume</translation>
    </message>
    <message>
        <source>Wav 静音</source>
        <translation>Mute Wav</translation>
    </message>
    <message>
        <source>MIDI</source>
        <translation>MIDI</translation>
    </message>
    <message>
        <source>MIDI 音量</source>
        <translation>MIDI volume</translation>
    </message>
    <message>
        <source>MIDI 静音</source>
        <translation>Mute MIDI</translation>
    </message>
    <message>
        <source>麦克风</source>
        <translation>Mic</translation>
    </message>
    <message>
        <source>麦克风音量</source>
        <translation>Microphone volume</translation>
    </message>
    <message>
        <source>麦克风静音</source>
        <translation>Mute microphone</translation>
    </message>
    <message>
        <source>立体声</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>立体声混音录音音量</source>
        <translation>Stereo mix recording volume</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>选择立体声混音录音</source>
        <translation>Record the stereo mix</translation>
    </message>
    <message>
        <source>麦克风录音音量</source>
        <translation>Microphone recording volume</translation>
    </message>
    <message>
        <source>选择麦克风录音</source>
        <translation>Record the microphone</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>麦克风放大</source>
        <translation>Microphone boost</translation>
    </message>
    <message>
        <source>默认设置</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <source>播放设置</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>录音设置</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>校准延迟</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>音量均衡</source>
        <translation>Leveling</translation>
    </message>
    <message>
        <source>效果:</source>
        <translation>Effect:</translation>
    </message>
    <message>
        <source>效果</source>
        <translation>Effect</translation>
    </message>
    <message>
        <source>更多效果…</source>
        <translation>More Effects…</translation>
    </message>
    <message>
        <source>耳返</source>
        <translation>Hear</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Vol</translation>
    </message>
    <message>
        <source>耳返音量</source>
        <translation>Monitor volume</translation>
    </message>
    <message>
        <source>延迟 --</source>
        <translation>Latency --</translation>
    </message>
    <message>
        <source>耳返延迟</source>
        <translation>Monitor latency</translation>
    </message>
</context>
<context>
    <name>MprisService</name>
    <message>
        <source>不能打开“%1”：%2</source>
        <translation>Cannot open “%1”: %2</translation>
    </message>
    <message>
        <source>只能打开 MIDI、KAR、WAV 或 MP3 歌曲</source>
        <translation>only MIDI, KAR, WAV or MP3 songs can be opened</translation>
    </message>
    <message>
        <source>文件不存在</source>
        <translation>the file does not exist</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>it is not a regular file</translation>
    </message>
    <message>
        <source>没有读取权限</source>
        <translation>there is no permission to read it</translation>
    </message>
    <message>
        <source>不是 UltraStar 歌曲文件</source>
        <translation>it is not an UltraStar song file</translation>
    </message>
    <message>
        <source>只能打开本机上的文件</source>
        <translation>only files on this computer can be opened</translation>
    </message>
</context>
<context>
    <name>PitchLanePainting</name>
    <message>
        <source>最高分 %1</source>
        <translation>Best %1</translation>
    </message>
</context>
<context>
    <name>StageWindow</name>
    <message>
        <source>扫码点歌</source>
        <translation>Scan to request</translation>
    </message>
</context>
<context>
    <name>linlangok::CCatalogWindow</name>
    <message>
        <source>点歌</source>
        <translation>Request Songs</translation>
    </message>
    <message>
        <source>歌名、歌手、拼音或首字母（如 yldbwdx）</source>
        <translation>Title, artist, pinyin or initials (e.g. yldbwdx)</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>全部歌手</source>
        <translation>All artists</translation>
    </message>
    <message>
        <source>歌手</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>全部类型</source>
        <translation>All types</translation>
    </message>
    <message>
        <source>视频</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>演唱者</source>
        <translation>Singer</translation>
    </message>
    <message>
        <source>搜索结果</source>
        <translation>Search results</translation>
    </message>
    <message>
        <source>优先</source>
        <translation>Top</translation>
    </message>
    <message>
        <source>优先点歌</source>
        <translation>Request at the top</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>歌库...</source>
        <translation>Library...</translation>
    </message>
    <message>
        <source>扫描进度</source>
        <translation>Scan progress</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>已点歌曲</source>
        <translation>Queue</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>切歌</source>
        <translation>Skip</translation>
    </message>
    <message>
        <source>连续播放</source>
        <translation>Play On</translation>
    </message>
    <message>
        <source>正在扫描歌曲文件夹…</source>
        <translation>Scanning the song folders…</translation>
    </message>
    <message>
        <source>正在读取歌库…</source>
        <translation>Reading the library…</translation>
    </message>
    <message>
        <source>歌库共 %1 首</source>
        <translation>%1 songs in the library</translation>
    </message>
    <message>
        <source>：新增 %1，更新 %2，移除 %3，无法读取 %4</source>
        <translation>: %1 added, %2 updated, %3 removed, %4 unreadable</translation>
    </message>
    <message>
        <source>，无法读取的文件夹 %1</source>
        <translation>, %1 unreadable folders</translation>
    </message>
    <message>
        <source>（扫描已取消）</source>
        <translation> (scan cancelled)</translation>
    </message>
    <message>
        <source>无法读取的文件夹（其中的歌曲保持原样）：</source>
        <translation>Unreadable folders (their songs are kept as they were):</translation>
    </message>
    <message>
        <source>无法读取的文件：</source>
        <translation>Unreadable files:</translation>
    </message>
    <message>
        <source>歌库状态</source>
        <translation>Library status</translation>
    </message>
    <message>
        <source>歌库离线：%1
搜索的是上次载入的歌曲，点唱次数连上后送出。</source>
        <translation>Library offline: %1
Searching the songs loaded last; play counts are sent once connected.</translation>
    </message>
</context>
<context>
    <name>linlangok::CEarMonitorControls</name>
    <message>
        <source>从音箱或耳机里听到自己的声音 (加上效果); 用音箱时小心啸叫</source>
        <translation>Hear yourself in the speakers or headphones (with the effect); with speakers, beware of feedback howl</translation>
    </message>
    <message>
        <source>延迟 --</source>
        <translation>Latency --</translation>
    </message>
    <message>
        <source>%1
耳返没有加效果。</source>
        <translation>%1
The monitor plays without the effect.</translation>
    </message>
    <message>
        <source>延迟 %1 毫秒</source>
        <translation>Latency %1 ms</translation>
    </message>
</context>
<context>
    <name>linlangok::CKaraokeApplication</name>
    <message>
        <source>点歌(&amp;S)</source>
        <translation>&amp;Request</translation>
    </message>
    <message>
        <source>点歌和已点歌曲(&amp;S)</source>
        <translation>&amp;Request and Queue</translation>
    </message>
    <message>
        <source>切歌(&amp;N)</source>
        <translation>&amp;Skip</translation>
    </message>
    <message>
        <source>手机点歌(&amp;P)...</source>
        <translation>&amp;Phones...</translation>
    </message>
    <message>
        <source>视频(&amp;V)</source>
        <translation>&amp;Video</translation>
    </message>
    <message>
        <source>视频窗口(&amp;W)</source>
        <translation>Video &amp;Window</translation>
    </message>
    <message>
        <source>原唱/伴唱(&amp;O)</source>
        <translation>V&amp;ocals/Backing</translation>
    </message>
    <message>
        <source>原唱位置(&amp;L)</source>
        <translation>Vocals &amp;Location</translation>
    </message>
    <message>
        <source>评分(&amp;G)</source>
        <translation>&amp;Score</translation>
    </message>
    <message>
        <source>评分(&amp;S)</source>
        <translation>&amp;Scoring</translation>
    </message>
    <message>
        <source>简单(&amp;E)</source>
        <translation>&amp;Easy</translation>
    </message>
    <message>
        <source>普通(&amp;N)</source>
        <translation>&amp;Normal</translation>
    </message>
    <message>
        <source>困难(&amp;H)</source>
        <translation>&amp;Hard</translation>
    </message>
</context>
<context>
    <name>linlangok::CLanguageMenu</name>
    <message>
        <source>语言(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>跟随系统(&amp;S)</source>
        <translation>&amp;System Language</translation>
    </message>
    <message>
        <source>琳朗卡拉OK 下次启动时使用所选的语言。</source>
        <translation>Linlang Karaoke will speak the chosen language from its next start.</translation>
    </message>
</context>
<context>
    <name>linlangok::CListNameDialog</name>
    <message>
        <source>请输入歌曲列表名:</source>
        <translation>Song list name:</translation>
    </message>
    <message>
        <source>歌曲列表名</source>
        <translation>Song list name</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>linlangok::CLyricsShowWindow</name>
    <message>
        <source>歌词秀</source>
        <translation>Lyrics Show</translation>
    </message>
    <message>
        <source>舞台视图</source>
        <translation>Stage View</translation>
    </message>
    <message>
        <source>舞台屏幕</source>
        <translation>Stage Screen</translation>
    </message>
    <message>
        <source>歌词编码</source>
        <translation>Lyrics Encoding</translation>
    </message>
    <message>
        <source>自动检测</source>
        <translation>Detect Automatically</translation>
    </message>
    <message>
        <source>歌词提前 0.1 秒</source>
        <translation>Lyrics 0.1 s Earlier</translation>
    </message>
    <message>
        <source>歌词推迟 0.1 秒</source>
        <translation>Lyrics 0.1 s Later</translation>
    </message>
    <message>
        <source>歌词时间复原 (%1 秒)</source>
        <translation>Reset Lyrics Timing (%1 s)</translation>
    </message>
</context>
<context>
    <name>linlangok::CMainWindow</name>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>下载(&amp;D)</source>
        <translation>&amp;Download</translation>
    </message>
    <message>
        <source>下载最新版(&amp;D)</source>
        <translation>&amp;Download the Latest Version</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>帮助主题(&amp;H)</source>
        <translation>&amp;Help Topics</translation>
    </message>
    <message>
        <source>关于琳朗卡拉OK(&amp;A)</source>
        <translation>&amp;About Linlang Karaoke</translation>
    </message>
    <message>
        <source>播放 (空格键)</source>
        <translation>Play (Space)</translation>
    </message>
    <message>
        <source>停止播放 (空格键)</source>
        <translation>Stop playing (Space)</translation>
    </message>
    <message>
        <source>录音 (Ctrl+R)</source>
        <translation>Record (Ctrl+R)</translation>
    </message>
    <message>
        <source>停止录音 (Ctrl+R)</source>
        <translation>Stop recording (Ctrl+R)</translation>
    </message>
    <message>
        <source>升高 (+) / 降低 (-)</source>
        <translation>Key Up (+) / Key Down (-)</translation>
    </message>
    <message>
        <source>音调调整：每步一个半音 (+/-)</source>
        <translation>Key: one semitone a step (+/-)</translation>
    </message>
    <message>
        <source>速度：原速的百分比，每步 5%</source>
        <translation>Tempo: percent of the original speed, 5% a step</translation>
    </message>
    <message>
        <source>帮助 (F1)</source>
        <translation>Help (F1)</translation>
    </message>
    <message>
        <source>歌词秀；全屏舞台视图 (F11)</source>
        <translation>Lyrics Show; full-screen stage view (F11)</translation>
    </message>
    <message>
        <source>关于琳朗卡拉OK</source>
        <translation>About Linlang Karaoke</translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt;&lt;br&gt;版本 %2&lt;br&gt;&lt;a href=&quot;%3&quot;&gt;%3&lt;/a&gt;</source>
        <translation>&lt;b&gt;%1&lt;/b&gt;&lt;br&gt;Version %2&lt;br&gt;&lt;a href=&quot;%3&quot;&gt;%3&lt;/a&gt;</translation>
    </message>
</context>
<context>
    <name>linlangok::CMoreEffectsDialog</name>
    <message>
        <source>更多效果</source>
        <translation>More Effects</translation>
    </message>
    <message>
        <source>效果插件</source>
        <translation>Effect plugin</translation>
    </message>
    <message>
        <source>插件</source>
        <translation>Plugin</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>linlangok::CMprisService</name>
    <message>
        <source>太多的命令在等待当前的对话框关闭</source>
        <translation>Too many commands are waiting for the current dialog to close</translation>
    </message>
</context>
<context>
    <name>linlangok::CPerformanceWindow</name>
    <message>
        <source>保存演唱</source>
        <translation>Save Performance</translation>
    </message>
    <message>
        <source>向左伴奏更响，向右人声更响；居中两者都是原音量</source>
        <translation>Left: louder accompaniment; right: louder voice; centre: both at their own volume</translation>
    </message>
</context>
<context>
    <name>linlangok::CPhoneWindow</name>
    <message>
        <source>手机点歌</source>
        <translation>Phones</translation>
    </message>
    <message>
        <source>点歌二维码</source>
        <translation>Request QR code</translation>
    </message>
    <message>
        <source>点歌网址</source>
        <translation>Request address</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>网络地址</source>
        <translation>Network address</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>主持人密码</source>
        <translation>Host PIN</translation>
    </message>
    <message>
        <source>密码位数</source>
        <translation>PIN length</translation>
    </message>
    <message>
        <source>%1 位</source>
        <translation>%1 digits</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>两首歌之间在舞台视图上显示二维码</source>
        <translation>Show the QR code on the stage between songs</translation>
    </message>
    <message>
        <source>手机点歌已关闭</source>
        <translation>Phone requests are off</translation>
    </message>
    <message>
        <source>客人用手机扫描二维码即可点歌（手机要连在同一个网络上）。</source>
        <translation>Guests scan the QR code with their phones to request songs (the phones must be on the same network).</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
</context>
<context>
    <name>linlangok::CSongFoldersDialog</name>
    <message>
        <source>歌库</source>
        <translation>Library</translation>
    </message>
    <message>
        <source>歌曲文件夹</source>
        <translation>Song folders</translation>
    </message>
    <message>
        <source>添加...</source>
        <translation>Add...</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>选择歌曲文件夹</source>
        <translation>Choose a Song Folder</translation>
    </message>
    <message>
        <source>歌库服务器(&amp;S)</source>
        <translation>&amp;Server</translation>
    </message>
    <message>
        <source>歌库服务器</source>
        <translation>Library server</translation>
    </message>
    <message>
        <source>空：本机的歌库</source>
        <translation>Empty: this computer&apos;s library</translation>
    </message>
    <message>
        <source>使用(&amp;U)</source>
        <translation>&amp;Use</translation>
    </message>
    <message>
        <source>由 LINLANGOK_CATALOG 指定</source>
        <translation>Set by LINLANGOK_CATALOG</translation>
    </message>
    <message>
        <source>正在读取歌库…</source>
        <translation>Reading the library…</translation>
    </message>
    <message>
        <source>“%1”不是 PostgreSQL 的连接串（postgresql://… 或 host=… dbname=…）。</source>
        <translation>“%1” is not a PostgreSQL connection string (postgresql://… or host=… dbname=…).</translation>
    </message>
    <message>
        <source>琳朗卡拉OK 下次启动时使用所设的歌库。</source>
        <translation>Linlang Karaoke will use the library set here from its next start.</translation>
    </message>
    <message>
        <source>密码未保存：请写入 ~/.pgpass，或用 PGSERVICE。</source>
        <translation>The password is not saved: put it in ~/.pgpass, or use PGSERVICE.</translation>
    </message>
    <message>
        <source>正在连接歌库服务器…</source>
        <translation>Connecting to the library server…</translation>
    </message>
    <message>
        <source>连不上歌库服务器：%1
仍要在下次启动时使用它吗？</source>
        <translation>The library server cannot be reached: %1
Use it from the next start all the same?</translation>
    </message>
    <message>
        <source>已连上歌库服务器。</source>
        <translation>The library server was reached.</translation>
    </message>
</context>
<context>
    <name>linlangok::CSongListWindow</name>
    <message>
        <source>播放列表</source>
        <translation>Playlist</translation>
    </message>
    <message>
        <source>新建歌曲列表</source>
        <translation>New Song List</translation>
    </message>
    <message>
        <source>重命名歌曲列表</source>
        <translation>Rename Song List</translation>
    </message>
    <message>
        <source>选择歌曲文件夹</source>
        <translation>Choose a Song Folder</translation>
    </message>
    <message>
        <source>正在读取文件夹中的歌曲...</source>
        <translation>Reading the songs in the folder...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>添加文件夹</source>
        <translation>Add Folder</translation>
    </message>
</context>
<context>
    <name>linlangok::CStageWindow</name>
    <message>
        <source>舞台视图</source>
        <translation>Stage View</translation>
    </message>
</context>
<context>
    <name>linlangok::CUpDownControl</name>
    <message>
        <source>升高</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>降低</source>
        <translation>Down</translation>
    </message>
</context>
<context>
    <name>linlangok::CVideoWindow</name>
    <message>
        <source>视频</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>原唱</source>
        <translation>Vocals</translation>
    </message>
    <message>
        <source>原唱/伴唱</source>
        <translation>Vocals/Backing</translation>
    </message>
    <message>
        <source>切换原唱/伴唱 (F2)</source>
        <translation>Switch between vocals and backing (F2)</translation>
    </message>
    <message>
        <source>原唱位置</source>
        <translation>Vocals location</translation>
    </message>
    <message>
        <source>这首歌没有画面</source>
        <translation>This song has no picture</translation>
    </message>
    <message>
        <source>播放视频或 MP3+G 歌曲时, 画面在这里显示</source>
        <translation>The picture of a video or MP3+G song shows here</translation>
    </message>
    <message>
        <source>伴唱</source>
        <translation>Backing</translation>
    </message>
    <message>
        <source>(没有可切换的原唱)</source>
        <translation>(No vocals to switch)</translation>
    </message>
    <message>
        <source>舞台视图</source>
        <translation>Stage View</translation>
    </message>
</context>
<context>
    <name>linlangok::CVoiceEffectControls</name>
    <message>
        <source>这台电脑上没有安装 LV2 混响或延迟插件。</source>
        <translation>No LV2 reverb or delay plugin is installed on this computer.</translation>
    </message>
    <message>
        <source>%1
人声没有加效果。</source>
        <translation>%1
The voice plays without an effect.</translation>
    </message>
</context>
<context>
    <name>linlangok::CVolumeWindow</name>
    <message>
        <source>音量控制</source>
        <translation>Volume Control</translation>
    </message>
    <message>
        <source>每首歌以相同的响度播放 (EBU R128, -18 LUFS), 从下一次播放起生效</source>
        <translation>Plays every song at the same loudness (EBU R128, -18 LUFS), from the next play on</translation>
    </message>
    <message>
        <source>Can&apos;t open WAVE In Device!</source>
        <translation>Can&apos;t open WAVE In Device!</translation>
    </message>
    <message>
        <source>没有听到校准的咔嗒声。请把麦克风放在音箱旁边，或用线把输出接到输入，调高录音音量后再试。</source>
        <translation>The calibration click was not heard. Put the microphone next to a speaker, or connect the output to the input with a cable, turn up the recording volume and try again.</translation>
    </message>
    <message>
        <source>无法保存 %1。</source>
        <translation>Cannot save %1.</translation>
    </message>
    <message>
        <source>往返延迟为 %1 毫秒（设备报告 %2 毫秒），已保存。</source>
        <translation>The round-trip latency is %1 ms (the device reports %2 ms). Saved.</translation>
    </message>
</context>
</TS>
