// linlangok-screenshots OUTPUT_FOLDER: renders the windows offscreen in their typical states
// into PNG files, the windows' golden pictures that a change to a window shows up in.

#include "app/services/PlatformServices.h"
#include "common/FilePath.h"
#include "common/Text.h"
#include "common/TextEncodings.h"
#include "core/cdg/CdgPackets.h"
#include "core/mixer/MemoryMixer.h"
#include "core/songlist/SongListFile.h"
#include "platform/audio/WavFileWriter.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/codepage/UchardetTextEncodings.h"
#include "platform/database/PostgresCatalogStore.h"
#include "platform/database/SqliteCatalogStore.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/http/HttplibServer.h"
#include "platform/language/ProgramLanguage.h"
#include "platform/qrcode/QrencodeEncoder.h"
#include "platform/tags/SongFileReader.h"
#include "ui/catalog/CatalogWindow.h"
#include "ui/catalog/SongFoldersDialog.h"
#include "ui/desktop/ApplicationSetup.h"
#include "ui/lyrics/LyricsShowWindow.h"
#include "ui/lyrics/StageWindow.h"
#include "ui/main/PerformanceWindow.h"
#include "ui/mixer/VoiceControls.h"
#include "ui/mixer/VolumeWindow.h"
#include "ui/phone/PhoneWindow.h"
#include "ui/songlist/SongListWindow.h"
#include "ui/video/VideoWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>

#include <QThread>
#include <QTimer>
#include <cstring>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

constexpr std::u16string_view kPictureSong = u"~/音乐/茉莉花.mid";

void RunEventsFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// Runs the events until the song has played to the position (at most 20 s).
void RunEventsUntilPosition(linlangok::CKaraokeSession& session, double seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (session.Position() < seconds && timer.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool SavePicture(const QImage& picture, const QString& folder, const char* name)
{
    const QString path = folder + u'/' + QString::fromUtf8(name) + QStringLiteral(".png");
    const bool saved = picture.save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", path.toUtf8().constData());
    return saved;
}

bool Save(QWidget& window, const QString& folder, const char* name)
{
    return SavePicture(window.grab().toImage(), folder, name);
}

// The stage view as a 1280 × 720 television shows it now, or shows the frame given.
// With the song's picture given, the picture in place of the lines.
bool SaveStage(linlangok::CKaraokeApplication& karaoke, const QString& folder, const char* name,
    const std::optional<linlangok::StageFrame>& shown = std::nullopt, const linlangok::SongFrame* songPicture = nullptr)
{
    QImage picture(1280, 720, QImage::Format_RGB32);
    QPainter painter(&picture);
    linlangok::PaintStage(painter, picture.rect(), shown.value_or(karaoke.LyricsWindow().Stage()), {}, songPicture);
    painter.end();
    return SavePicture(picture, folder, name);
}

// The lyrics window's context menu with its encodings open beside it.
bool SaveContextMenu(linlangok::CKaraokeApplication& karaoke, const QString& folder)
{
    linlangok::CLyricsShowWindow& lyrics = karaoke.LyricsWindow();
    const std::unique_ptr<QMenu> menu = lyrics.MakeContextMenu();
    menu->popup(lyrics.mapToGlobal(QPoint(20, 20)));
    RunEventsFor(200);
    QMenu* encodings = nullptr;
    for (QAction* item : menu->actions()) {
        if (item->menu() && item->text() == QStringLiteral("歌词编码"))
            encodings = item->menu();
    }
    encodings->popup(menu->geometry().topRight() + QPoint(0, menu->actionGeometry(menu->actions()[3]).top()));
    RunEventsFor(200);
    QImage picture(
        menu->width() + encodings->width(), std::max(menu->height(), encodings->height() + 60), QImage::Format_RGB32);
    picture.fill(QColor(48, 48, 48));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, menu->grab());
    painter.drawPixmap(menu->width(), encodings->geometry().top() - menu->geometry().top(), encodings->grab());
    painter.end();
    encodings->close();
    menu->close();
    return SavePicture(picture, folder, "lyrics-context-menu");
}

// The four windows as they are docked on the screen, in one picture.
bool SaveDocked(linlangok::CKaraokeApplication& karaoke, const QString& folder, const char* name)
{
    QWidget* windows[] = {&karaoke.MainWindow(), &karaoke.LyricsWindow(), &karaoke.VolumeWindow(),
        &karaoke.SongListWindow(), &karaoke.VideoWindow()};
    QRect bounds;
    for (QWidget* window : windows)
        bounds |= window->frameGeometry();
    QImage picture(bounds.size(), QImage::Format_RGB32);
    picture.fill(QColor(48, 48, 48));
    QPainter painter(&picture);
    for (QWidget* window : windows)
        painter.drawPixmap(window->geometry().topLeft() - bounds.topLeft(), window->grab());
    painter.end();
    return SavePicture(picture, folder, name);
}

// A scoring source that gives what it is told.
class CShownScoring final : public linlangok::IScoringViewSource {
public:
    std::optional<linlangok::ScoringView> View() const override { return view; }
    std::u16string Notice() const override { return notice; }

    std::optional<linlangok::ScoringView> view;
    std::u16string notice;
};

// The scoring at 4.7 s of the word-timed 茉莉花 below: its first line (a word each 0.4 s from
// 3 s, 茉 golden) half sung, 美 missed flat and 丽 begun sharp, the next line (芳 freestyle)
// ahead, and the line before it just scored 很好.
linlangok::ScoringView JasmineScoring()
{
    using namespace linlangok;
    ScoringView view;
    view.now = 4.7;
    const double first[] = {64, 64, 67, 69, 72, 72, 69, 67, 67};
    const double second[] = {67, 69, 67, 64, 67, 65, 64};
    for (size_t i = 0; i < std::size(first); ++i)
        view.notes.push_back({3.0 + 0.4 * i, 3.35 + 0.4 * i, first[i], i == 6 ? ENoteKind::Golden : ENoteKind::Normal});
    for (size_t i = 0; i < std::size(second) && 7.0 + 0.4 * i < view.now + kLaneAheadSeconds; ++i)
        view.notes.push_back(
            {7.0 + 0.4 * i, 7.35 + 0.4 * i, second[i], i == 1 ? ENoteKind::Freestyle : ENoteKind::Normal});
    for (double t = view.now - kLanePastSeconds; t <= view.now; t += 0.02) {
        const auto note = std::find_if(view.notes.begin(), view.notes.end(),
            [t](const MelodyNote& n) { return n.start <= t && t < n.end + 0.02; });
        if (note == view.notes.end()) {
            view.trace.push_back({t, NAN, false}); // a breath between the words
            continue;
        }
        const double off = t >= 4.2 && t < 4.45 ? -1.3 : t >= 4.6 && t < 4.66 ? 1.2 : 0.25 * std::sin(t * 25);
        view.trace.push_back({t, static_cast<float>(note->pitch + off), std::abs(off) <= 1.0});
    }
    view.runningScore = 78;
    view.lastLine = LineScore {{0.8, 2.9}, 85, LineWord(85)};
    return view;
}

// The score screen after the whole song: eight lines, the best score before this run's.
linlangok::ScoringView JasmineResult()
{
    using namespace linlangok;
    ScoringView view;
    view.now = 30;
    SongScore result {81, 46, 37, {}};
    const int scores[] = {92, 85, 77, 64, 88, 95, 48, 81};
    for (size_t i = 0; i < std::size(scores); ++i)
        result.lines.push_back({{3.0 + 3 * i, 5.9 + 3 * i}, scores[i], LineWord(scores[i])});
    view.result = std::move(result);
    view.bestScore = 92;
    return view;
}

// The stage view 1280 × 720 as the window paints it with its lyrics source and the scoring.
bool SaveScoredStage(linlangok::CKaraokeApplication& karaoke, const linlangok::IScoringViewSource& scoring,
    const QString& folder, const char* name)
{
    linlangok::CStageWindow stage(karaoke.LyricsWindow());
    stage.resize(1280, 720);
    stage.SetScoringSource(&scoring);
    stage.FrameTick();
    return Save(stage, folder, name);
}

// The lyrics window and the stage view with the pitch lane half way through a line, the score
// screen after the song, and the lyrics window with the notice of a song that has no scoring.
bool SaveScoring(linlangok::CKaraokeApplication& karaoke, const QString& folder)
{
    CShownScoring scoring;
    scoring.view = JasmineScoring();
    linlangok::CLyricsShowWindow& lyrics = karaoke.LyricsWindow();
    lyrics.SetScoringSource(&scoring);
    bool saved = Save(lyrics, folder, "lyrics-lane");
    saved &= SaveScoredStage(karaoke, scoring, folder, "stage-lane");
    scoring.view = JasmineResult();
    saved &= SaveScoredStage(karaoke, scoring, folder, "stage-score");
    scoring.view.reset();
    scoring.notice = u"本歌曲无评分数据";
    lyrics.SetScoringSource(&scoring);
    saved &= Save(lyrics, folder, "lyrics-lane-notice");
    lyrics.SetScoringSource(nullptr);
    return saved;
}

// The lyrics window during an UltraStar duet on the silent song beside it, the first voice's
// second line half sung with its golden syllables, the second voice's lines around it.
bool SaveDuet(linlangok::CKaraokeApplication& karaoke, const QString& folder, const std::filesystem::path& song)
{
    using namespace linlangok;
    std::ofstream(song) << "#TITLE:月光\n#ARTIST:琳朗\n#BPM:150\n#AUDIO:jasmine.wav\n#P1:甲\n#P2:乙\n"
                           "P1\n: 0 4 0 月\n: 4 4 2 光\n: 8 4 4 照\n: 12 4 2 窗\n* 16 8 0 前\n- 26\n"
                           ": 30 4 0 花\n* 34 4 2 开\n: 38 4 4 满\n* 42 4 2 山\n: 46 8 0 冈\n- 56\n"
                           ": 80 4 0 歌\n: 84 4 2 声\n: 88 8 0 远\n"
                           "P2\n: 20 4 5 风\n: 24 4 7 吹\n: 28 4 9 过\n: 32 4 7 小\n* 36 8 5 河\n- 46\n"
                           ": 50 4 5 鸟\n: 54 4 7 儿\n: 58 4 9 回\n: 62 8 5 家\n";
    CMainController& controller = karaoke.MainWindow().Controller();
    controller.Handle(command::Stop {});
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment, PathToUtf16(song)});
    controller.Handle(command::Play {});
    RunEventsUntilPosition(karaoke.Session(), 3.95);
    return Save(karaoke.LyricsWindow(), folder, "lyrics-duet");
}

// The lyrics window during the demo song with a line half sung, then during a silent WAV song
// with an LRC file of its words, plain and then word-timed, then with the scoring, then a duet.
bool SaveLyricsWindow(linlangok::CKaraokeApplication& karaoke, const QString& folder)
{
    using namespace linlangok;
    CKaraokeSession& session = karaoke.Session();
    const std::u16string demo = session.AccompanimentPath();
    RunEventsUntilPosition(session, 6.6);
    bool saved = Save(karaoke.LyricsWindow(), folder, "lyrics-midi");
    saved &= SaveStage(karaoke, folder, "stage-midi");

    const QTemporaryDir songs;
    const std::filesystem::path song = songs.filePath(QStringLiteral("jasmine.wav")).toStdString();
    const std::filesystem::path lyrics = songs.filePath(QStringLiteral("jasmine.lrc")).toStdString();
    {
        CWavFileWriter silence(song, EWavFileMode::Growing);
        const std::vector<std::int16_t> second(44100 * 2);
        for (int seconds = 0; seconds < 30; ++seconds)
            silence.WriteInt16(second.data(), 44100);
        silence.Commit();
    }
    std::ofstream(lyrics) << "[ti:茉莉花]\n[00:00]茉莉花（江苏民歌）\n[00:03]好一朵美丽的茉莉花\n"
                             "[00:06]芬芳美丽满枝桠\n[00:09]又香又白人人夸\n[00:12]让我来将你摘下\n"
                             "[00:15]送给别人家\n[00:18]茉莉花呀茉莉花\n";
    karaoke.MainWindow().Controller().Handle(command::Stop {});
    karaoke.MainWindow().Controller().Handle(command::PathEdited {EPathEdit::Accompaniment, PathToUtf16(song)});
    karaoke.MainWindow().Controller().Handle(command::PathEdited {EPathEdit::Lyric, PathToUtf16(lyrics)});
    karaoke.MainWindow().Controller().Handle(command::Play {});
    RunEventsUntilPosition(session, 7.3);
    saved &= Save(karaoke.LyricsWindow(), folder, "lyrics-lrc");
    karaoke.MainWindow().Controller().Handle(command::Stop {});

    // The same words timed one by one, the second line half sung.
    std::ofstream(lyrics) << "[ti:茉莉花]\n[00:00]茉莉花（江苏民歌）\n"
                             "[00:03.00]<00:03.00>好<00:03.40>一<00:03.80>朵<00:04.20>美<00:04.60>丽<00:05.00>的"
                             "<00:05.40>茉<00:05.80>莉<00:06.20>花<00:06.60>\n"
                             "[00:07.00]<00:07.00>芬<00:07.40>芳<00:07.80>美<00:08.20>丽<00:08.60>满<00:09.00>枝"
                             "<00:09.40>桠<00:09.80>\n[00:10.00]又香又白人人夸\n";
    karaoke.MainWindow().Controller().Handle(command::Play {});
    RunEventsUntilPosition(session, 4.7);
    saved &= Save(karaoke.LyricsWindow(), folder, "lyrics-lrc-words");
    saved &= SaveStage(karaoke, folder, "stage-lrc-words");
    // The same moment in the song's last seconds, with a song queued after it.
    StageFrame ending = karaoke.LyricsWindow().Stage();
    ending.upNext = ComposeUpNextLine(StageUpNext {u"月亮代表我的心", u"邓丽君", u"小王"}, 17, 30, true);
    saved &= SaveStage(karaoke, folder, "stage-up-next", ending);
    saved &= SaveContextMenu(karaoke, folder);
    saved &= SaveScoring(karaoke, folder);
    saved &= SaveDuet(karaoke, folder, songs.filePath(QStringLiteral("duet.txt")).toStdString());
    // The demo song again, as the edits showed it before: the song files here are about to go.
    CMainController& controller = karaoke.MainWindow().Controller();
    controller.Handle(command::Stop {});
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment, demo});
    controller.Handle(command::PathEdited {EPathEdit::Lyric, u""});
    return saved;
}

// One picture of a KTV video as karaoke discs have them: colour bands for the scenery, the title at
// the start, then two lines of lyrics at the bottom, the one being sung filled in blue from the
// left as it is sung.
QImage KtvPicture(int frame, int framesPerSecond, QSize size)
{
    const double seconds = static_cast<double>(frame) / framesPerSecond;
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor bands[]
        = {QColor(38, 70, 140), QColor(64, 128, 180), QColor(222, 170, 96), QColor(70, 140, 80), QColor(40, 96, 60)};
    const int bandHeight = size.height() / 5 + 1;
    for (int band = 0; band < 5; ++band) {
        QLinearGradient shade(0, band * bandHeight, 0, (band + 1) * bandHeight);
        shade.setColorAt(0, bands[band]);
        shade.setColorAt(1, bands[band].darker(115));
        painter.fillRect(0, band * bandHeight, size.width(), bandHeight, shade);
    }
    // A sun that drifts across, so that the pictures move.
    painter.setBrush(QColor(255, 236, 160));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(size.width() * (0.15 + 0.02 * seconds), size.height() * 0.22), 28, 28);
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(size.height() / 11);
    font.setBold(true);
    const auto outlined = [&](const QString& text, QPointF at, const QColor& fill, double sung) {
        QPainterPath path;
        path.addText(at, font, text);
        painter.strokePath(path, QPen(Qt::black, 4));
        painter.fillPath(path, Qt::white);
        const QRectF bounds = path.boundingRect();
        painter.save();
        painter.setClipRect(QRectF(bounds.left(), bounds.top() - 4, bounds.width() * sung, bounds.height() + 8));
        painter.strokePath(path, QPen(Qt::white, 4));
        painter.fillPath(path, fill);
        painter.restore();
    };
    const QColor sungBlue(40, 80, 230);
    if (seconds < 2.0) {
        outlined(QStringLiteral("茉莉花"), QPointF(size.width() * 0.36, size.height() * 0.5), sungBlue, 0.0);
        return picture;
    }
    const double sung = std::clamp((seconds - 2.5) / 4.0, 0.0, 1.0);
    outlined(QStringLiteral("好一朵美丽的茉莉花"), QPointF(size.width() * 0.08, size.height() * 0.78), sungBlue, sung);
    outlined(QStringLiteral("芬芳美丽满枝桠"), QPointF(size.width() * 0.36, size.height() * 0.92), sungBlue, 0.0);
    return picture;
}

// Writes a KTV video with ffmpeg: the pictures above at 25 per second as MPEG-2, and the sound of
// a KTV disc, a backing tone on the left and a "vocal" tone on the right, as MPEG audio.
bool MakeKtvVideo(const QString& path, int seconds)
{
    constexpr int kFramesPerSecond = 25;
    const QSize size(640, 360);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
            QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("bgra"), QStringLiteral("-s"),
            QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), QStringLiteral("-r"),
            QString::number(kFramesPerSecond), QStringLiteral("-i"), QStringLiteral("-"), QStringLiteral("-f"),
            QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=f=220:d=%1,volume=0.3[l];sine=f=440:d=%1,volume=0.3[r];[l][r]join=inputs=2:"
                           "channel_layout=stereo")
                .arg(seconds),
            QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-q:v"), QStringLiteral("3"),
            QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-shortest"), path});
    if (!ffmpeg.waitForStarted())
        return false;
    for (int frame = 0; frame < seconds * kFramesPerSecond; ++frame) {
        const QImage picture = KtvPicture(frame, kFramesPerSecond, size);
        ffmpeg.write(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes());
        ffmpeg.waitForBytesWritten(-1);
    }
    ffmpeg.closeWriteChannel();
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

// Plays the song from its start, what played stopped, and runs the events until it is heard at
// `seconds` and the windows have drawn it.
linlangok::CKaraokeSession& PlayUntil(linlangok::CKaraokeApplication& karaoke, const QString& song, double seconds)
{
    linlangok::CMainController& controller = karaoke.MainWindow().Controller();
    controller.Handle(linlangok::command::Stop {});
    controller.Handle(linlangok::command::PlayNow {linlangok::PathToUtf16(song.toStdString())});
    RunEventsUntilPosition(karaoke.Session(), seconds);
    RunEventsFor(100);
    return karaoke.Session();
}

// The video window while a generated KTV video plays, a line half sung, its original vocal heard
// (原唱), and the same picture on the stage view.
bool SaveVideoWindow(linlangok::CKaraokeApplication& karaoke, const QString& folder)
{
    using namespace linlangok;
    const QTemporaryDir songs;
    const QString song = songs.filePath(QStringLiteral("茉莉花 (KTV).mpg"));
    if (!MakeKtvVideo(song, 12)) {
        std::fprintf(stderr, "video: ffmpeg could not make the KTV video\n");
        return false;
    }
    CKaraokeSession& session = PlayUntil(karaoke, song, 4.6);
    bool saved = Save(karaoke.VideoWindow(), folder, "video");
    saved &= SaveStage(karaoke, folder, "stage-video", std::nullopt, session.Video().PictureFrame().get());
    karaoke.MainWindow().Controller().Handle(linlangok::command::Stop {});
    return saved;
}

// The graphics of an MP3+G song as karaoke discs draw them: the title and two lines of lyrics drawn
// with Qt into CD+G's tiles, the first line turning red tile by tile as it is sung from 2 s on.
std::string KaraokeGraphics(int seconds)
{
    using namespace linlangok;
    enum : std::uint8_t { kBackground, kText, kSung, kTitle };
    QImage screen(kCdgScreenWidth, kCdgScreenHeight, QImage::Format_Indexed8);
    screen.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(255, 255, 0)});
    screen.fill(kBackground);
    QImage drawn(screen.size(), QImage::Format_RGB32);
    drawn.fill(Qt::black);
    {
        QPainter painter(&drawn);
        QFont font;
        font.setFamilies({QStringLiteral("Noto Sans CJK SC")});
        font.setPixelSize(22);
        painter.setFont(font);
        painter.setPen(Qt::yellow);
        painter.drawText(QRect(0, 24, kCdgScreenWidth, 36), Qt::AlignCenter, QStringLiteral("茉莉花 (MP3+G)"));
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 108, kCdgScreenWidth, 36), Qt::AlignCenter, QStringLiteral("好一朵美丽的茉莉花"));
        painter.drawText(QRect(0, 144, kCdgScreenWidth, 36), Qt::AlignCenter, QStringLiteral("芬芳美丽满枝桠"));
    }
    // Each tile of text in one colour on the background, as the format draws it.
    const auto tile = [&drawn](int row, int column, std::uint8_t colour) {
        std::array<std::uint8_t, 12> lines {};
        for (int y = 0; y < kCdgTileHeight; ++y)
            for (int x = 0; x < kCdgTileWidth; ++x)
                if (qGray(drawn.pixel(column * kCdgTileWidth + x, row * kCdgTileHeight + y)) > 100)
                    lines[static_cast<size_t>(y)] |= static_cast<std::uint8_t>(0x20 >> x);
        return std::any_of(lines.begin(), lines.end(), [](std::uint8_t line) { return line != 0; })
            ? CdgTile(kBackground, colour, row, column, lines)
            : std::string();
    };
    std::string graphics = CdgColourTable(false, {0x114, 0xFFF, 0xF22, 0xFE4}) + CdgMemoryPreset(kBackground)
        + CdgBorderPreset(kBackground);
    for (int row = 0; row < kCdgScreenHeight / kCdgTileHeight; ++row)
        for (int column = 0; column < kCdgScreenWidth / kCdgTileWidth; ++column)
            graphics += tile(row, column, row < 6 ? kTitle : kText);
    // The first line (tile rows 9 and 10) sung over four seconds, column by column.
    constexpr int kFirstSungSecond = 2;
    constexpr int kSungSeconds = 4;
    const size_t columns = kCdgScreenWidth / kCdgTileWidth;
    for (size_t column = 0; column < columns; ++column) {
        const size_t due
            = (kFirstSungSecond * kCdgPacketsPerSecond + column * kSungSeconds * kCdgPacketsPerSecond / columns)
            * kCdgPacketBytes;
        graphics.resize(std::max(graphics.size(), due), '\0');
        graphics += tile(9, static_cast<int>(column), kSung) + tile(10, static_cast<int>(column), kSung);
    }
    graphics.resize(
        std::max(graphics.size(), static_cast<size_t>(seconds) * kCdgPacketsPerSecond * kCdgPacketBytes), '\0');
    return graphics;
}

// The video window and the stage view while an MP3+G song (an MP3 with its .cdg file beside it)
// plays, its first line half sung, the stage naming the next song.
bool SaveMp3gSong(linlangok::CKaraokeApplication& karaoke, const QString& folder)
{
    using namespace linlangok;
    const QTemporaryDir songs;
    const QString song = songs.filePath(QStringLiteral("茉莉花.mp3"));
    QFile graphics(songs.filePath(QStringLiteral("茉莉花.cdg")));
    const std::string bytes = KaraokeGraphics(12);
    if (QProcess::execute(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                QStringLiteral("-i"), QStringLiteral("sine=f=330:d=12,volume=0.3"), song})
            != 0
        || !graphics.open(QIODevice::WriteOnly)
        || graphics.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "mp3g: could not make the MP3+G song\n");
        return false;
    }
    graphics.close();
    CKaraokeSession& session = PlayUntil(karaoke, song, 4.0);
    bool saved = Save(karaoke.VideoWindow(), folder, "video-mp3g");
    StageFrame ending = karaoke.LyricsWindow().Stage();
    ending.upNext = ComposeUpNextLine(StageUpNext {u"月亮代表我的心", u"邓丽君", u"小王"}, 4, 12, true);
    saved &= SaveStage(karaoke, folder, "stage-mp3g", ending, session.Video().PictureFrame().get());
    karaoke.MainWindow().Controller().Handle(linlangok::command::Stop {});
    return saved;
}

// The question before a song list is deleted, in a stock message box, answered no.
bool SaveDeleteListQuestion(linlangok::CKaraokeApplication& karaoke, const QString& folder)
{
    bool saved = false;
    QTimer::singleShot(300, [&saved, &folder] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            saved = Save(*box, folder, "songlist-delete-question");
            box->close();
        }
    });
    static_cast<QPushButton*>(karaoke.SongListWindow().Control(linlangok::kDeleteListButton))->click();
    return saved;
}

// A program folder, settings and working folder of the pictures' own, so that they show neither
// this machine's lists, settings and window sizes nor its folders: the demo song lies under a
// folder named "~" in the working folder and is shown as a song in the user's home would be,
// "~/音乐/茉莉花.mid", in a first list beside an empty second one.
void PrepareHome(const std::filesystem::path& home)
{
    using namespace linlangok;
    setenv("LINLANGOK_HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    std::filesystem::current_path(home);
    const std::u16string song(kPictureSong);
    std::filesystem::create_directories(Utf16ToPath(song).parent_path());
    std::filesystem::copy_file(DataFolder() / "demo" / "jasmine.mid", Utf16ToPath(song));
    std::filesystem::create_directories(home / "PlayList");
    const CIconvCodePage gbk("GBK");
    SaveList(home / "PlayList" / "默认列表.kpl",
        SongList {0, {}, {SongRecordOfPath(song, CPathDisplay(gbk, NoEncodingDetection()))}}, gbk);
    SaveList(home / "PlayList" / "新歌.kpl", SongList {}, gbk);
}

// The performance window as it opens after a recording: a take of a second of silence, its
// voice moved by the typical latencies of a USB headset, sung for a score of 88.
bool SavePerformanceWindow(
    linlangok::CKaraokeApplication& karaoke, const linlangok::SessionServices& services, const QString& folder)
{
    using namespace linlangok;
    const std::filesystem::path accompaniment = services.programFolder / ".$$picture-accompaniment.tmp";
    const std::filesystem::path voice = services.programFolder / ".$$picture-voice.tmp";
    const std::vector<char> second(44100 * 4);
    for (const auto& path : {accompaniment, voice})
        std::ofstream(path, std::ios::binary).write(second.data(), static_cast<std::streamsize>(second.size()));
    bool saved = false;
    QTimer::singleShot(300, [&saved, &folder] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<CPerformanceWindow*>(window) && window->isVisible()) {
                saved = Save(*window, folder, "performance");
                window->close();
            }
        }
    });
    auto take = std::make_unique<CPerformanceTake>(
        accompaniment, voice, services.programFolder / ".$$picture.wav", -3810, 86.4);
    take->SetScore(88);
    RunPerformanceWindow(std::move(take), services, nullptr, &karaoke.MainWindow());
    return saved;
}

// The main window and its companions docked, playing, in another of the program's languages.
int SaveInLanguage(QApplication& application, const std::string& language, const QString& folder)
{
    const std::unique_ptr<QTranslator> translation = linlangok::InstallProgramLanguage(language);
    linlangok::SetUpApplication(application, QLocale(QString::fromStdString(language)));
    linlangok::CPlatformServices platform(application);
    linlangok::CKaraokeApplication karaoke(platform.Services());
    karaoke.Show();
    linlangok::CMainWindow& window = karaoke.MainWindow();
    window.Controller().Handle(linlangok::command::PickSong {std::u16string(kPictureSong)});
    window.Controller().Handle(linlangok::command::Play {});
    RunEventsFor(2300);
    const std::string suffix = "-" + language;
    const bool saved = Save(window, folder, ("main" + suffix).c_str())
        && SaveDocked(karaoke, folder, ("application" + suffix).c_str());
    return saved ? 0 : 1;
}

} // namespace

// The 点歌 window over a catalogue of a few dozen generated songs (silent WAV files named as
// karaoke libraries name them), a query typed and songs queued for two singers.
bool SaveCatalogWindow(linlangok::IUserPrompts& prompts, const QString& folder)
{
    using namespace linlangok;
    QTemporaryDir temporary;
    const std::filesystem::path root = temporary.path().toStdString();
    const std::pair<const char*, const char*> songs[] = {{"邓丽君", "月亮代表我的心"}, {"邓丽君", "甜蜜蜜"},
        {"邓丽君", "小城故事"}, {"邓丽君", "我只在乎你"}, {"周杰伦", "晴天"}, {"周杰伦", "稻香"}, {"周杰伦", "七里香"},
        {"王菲", "红豆"}, {"陈奕迅", "十年"}, {"Beyond", "海阔天空"}, {"张学友", "吻别"}, {"五月天", "倔强"},
        {"梁静茹", "勇气"}, {"孙燕姿", "遇见"}, {"刘若英", "后来"}, {"Eagles", "Hotel California"}};
    // A MIDI file of one long note, titled in its track name: a few bytes for a song of minutes.
    auto song = [](std::string_view title, std::uint32_t seconds) {
        std::string track = std::string("\0\xFF\x03", 3) + static_cast<char>(title.size()) + std::string(title);
        const std::uint32_t ticks = seconds * 960; // two quarter notes a second at the default tempo, 480 ticks each
        track += std::string("\0\x90\x3C\x40", 4);
        for (int shift = 21; shift > 0; shift -= 7)
            track += static_cast<char>(0x80 | ((ticks >> shift) & 0x7F));
        track += static_cast<char>(ticks & 0x7F);
        track += std::string("\x80\x3C\0\0\xFF\x2F\0", 7);
        std::string bytes("MThd\0\0\0\x06\0\0\0\x01\x01\xE0MTrk", 18);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += static_cast<char>((track.size() >> shift) & 0xFF);
        return bytes + track;
    };
    std::uint32_t seconds = 180;
    for (const auto& [singer, title] : songs) {
        std::filesystem::create_directories(root / "歌库" / singer);
        seconds = 180 + (seconds * 37) % 120;
        std::ofstream(root / "歌库" / singer / (std::string(singer) + " - " + title + ".mid"), std::ios::binary)
            << song(title, seconds);
    }
    CIcuTextReadings readings;
    const auto codePage = CreateLegacyCodePage();
    const CUchardetTextEncodings encodings(*codePage);
    const CPathDisplay names(*codePage, encodings);
    const std::filesystem::path database = root / "Catalog.db";
    CSqliteCatalogStore store(database);
    const CatalogServices services {store,
        [database]() -> std::unique_ptr<ICatalogStore> { return std::make_unique<CSqliteCatalogStore>(database); },
        [&codePage, &encodings, &root]() -> std::unique_ptr<ISongReader> {
            return std::make_unique<CSongFileReader>(*codePage, encodings, root / "Lyric");
        },
        readings, readings, names, root / "SongQueue.txt"};
    struct : ISongStarter {
        void StartSong(const std::filesystem::path&) override { }
    } starter;
    CFlockFileLocks locks;
    CSongPicker picker(store, starter, prompts, locks, services.queueFile);
    CQtUiThreadPoster uiThread(*QCoreApplication::instance());
    CCatalogService catalogue(CatalogueParts(services, uiThread));
    CCatalogWindow window(CatalogWindowParts {picker, catalogue, services, prompts, [] { return false; }});
    window.show();
    store.AddFolder(root / "歌库");
    window.Refresh(true);
    for (int waited = 0; window.IsBusy() && waited < 600; ++waited)
        RunEventsFor(100);
    const std::shared_ptr<const CCatalogIndex> index = catalogue.Index();
    for (const auto& [query, performer] :
        {std::pair {"qt", "小王"}, {"yldbwdx", "小李"}, {"hktk", "小王"}, {"dx", "小李"}}) {
        const std::vector<SearchResult> found
            = index ? index->Search(Utf8ToUtf16(query), {}, 1) : std::vector<SearchResult> {};
        if (found.empty()) {
            std::fprintf(stderr, "catalog: no song found for %s among %zu (busy %d)\n", query,
                index ? index->Size() : 0, window.IsBusy());
            return false;
        }
        picker.Pick(*found.front().song, Utf8ToUtf16(performer), false);
    }
    window.SearchBox()->setText(QStringLiteral("dlj"));
    RunEventsFor(200);
    bool saved = Save(window, folder, "catalog");
    // Its 歌库 dialog, over the same store.
    CSongFoldersDialog folders(
        {services.openStore, prompts, names, {"", MaskedConnection, ConnectionWithoutPassword, CatalogServerError}},
        &window);
    folders.show();
    while (folders.IsBusy())
        RunEventsFor(20);
    saved &= Save(folders, folder, "catalog-folders");

    // 手机点歌 over the same catalogue and queue, at a stand-in LAN address, listening on the
    // loopback alone; and its code on a 1280 × 720 stage view between songs.
    CQrencodeEncoder encoder;
    const PhoneServices phone {[] { return std::make_unique<CHttplibServer>(); }, encoder,
        [] { return std::vector<std::string> {"192.168.1.23"}; }, "127.0.0.1"};
    struct : IPhoneHostControls {
        bool IsPlaying() const override { return false; }
        void TogglePlay() override { }
        void StepPitch(int) override { }
    } host;
    CPhoneWindow phoneWindow(
        PhoneWindowParts {phone, picker, host, [] { return true; }, catalogue, [](const QImage&) {}});
    phoneWindow.Start();
    phoneWindow.show();
    RunEventsFor(300);
    saved &= Save(phoneWindow, folder, "phone");
    QImage stage(1280, 720, QImage::Format_RGB32);
    QPainter painter(&stage);
    PaintStage(painter, stage.rect(), StageFrame {}, QrImage(encoder.Encode(phoneWindow.Url()), 1));
    painter.end();
    return saved && SavePicture(stage, folder, "stage-phone");
}

int main(int argc, char** argv)
{
    using namespace linlangok;
    const bool oneLanguage = argc == 4 && std::strcmp(argv[1], "--language") == 0;
    if (argc != 2 && !oneLanguage) {
        std::fprintf(stderr, "usage: linlangok-screenshots [--language CODE] OUTPUT_FOLDER\n");
        return 2;
    }
    // The demo song's lyrics are GBK: the pictures show them alike whatever the machine's locale.
    setenv("LINLANGOK_CODEPAGE", "GBK", 0);
    // Virtual sound devices unless others are chosen: a machine without a capture device would
    // otherwise stop at the error box of the level meter.
    setenv("LINLANGOK_AUDIO_IN", "null", 0);
    setenv("LINLANGOK_AUDIO_OUT", "null", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const QString folder = QFileInfo(QString::fromLocal8Bit(argv[argc - 1])).absoluteFilePath();
    const QTemporaryDir home;
    PrepareHome(home.path().toStdString());
    QApplication application(argc, argv);
    if (oneLanguage)
        return SaveInLanguage(application, argv[2], folder);
    // The stock dialogs as a Chinese desktop shows them.
    SetUpApplication(application, QLocale(QLocale::Chinese, QLocale::China));
    CPlatformServices platform(application);
    CKaraokeApplication karaoke(platform.Services());
    karaoke.Show();
    CMainWindow& window = karaoke.MainWindow();
    window.Controller().Handle(command::PickSong {std::u16string(kPictureSong)});
    RunEventsFor(300);
    bool saved = Save(window, folder, "main-idle");
    window.Controller().Handle(command::Play {});
    RunEventsFor(2300);
    saved &= Save(window, folder, "main-playing");
    saved &= SaveDocked(karaoke, folder, "application");
    saved &= SaveLyricsWindow(karaoke, folder);
    window.Controller().Handle(command::Record {});
    RunEventsFor(2300);
    saved &= Save(window, folder, "main-recording");

    // The volume window on this machine's mixer (without a sound card every widget is disabled),
    // and on a typical card held in memory, recording through a virtual input.
    saved &= Save(karaoke.VolumeWindow(), folder, "volume-this-machine");
    CMemoryMixerSystem cardMixers;
    CMemoryMixerDevice& card = cardMixers.AddMixer();
    const TypicalCardControls controls = LayOutTypicalCard(card.Layout());
    const std::pair<std::uint32_t, std::vector<std::int32_t>> values[]
        = {{controls.masterVolume, {48000, 48000}}, {controls.waveVolume, {54000, 54000}},
            {controls.midiVolume, {40000, 40000}}, {controls.microphoneVolume, {16000}}, {controls.microphoneMute, {1}},
            {controls.recordMicrophoneVolume, {30000}}, {controls.microphoneBoost, {1}},
            {controls.stereoMixVolume, {7864, 7864}}, {controls.recordingSource, {0, 1, 0}}};
    for (const auto& [control, value] : values)
        card.SetValues(control, value);
    auto captureDevices = CaptureDevicesForSelection("null");
    captureDevices.front().name = "HDA Intel PCH: ALC887 Analog";
    CWaveInSystem waveIn(std::move(captureDevices));
    CInputDeviceList inputDevices(waveIn, cardMixers);
    const ApplicationServices services = platform.Services();
    CRecordingController recording(inputDevices, cardMixers, nullptr, services.session.programFolder,
        services.session.fileLocks, platform.Prompts(), std::cout);
    CVoiceEffectChoice voiceEffect(services.voiceEffects);
    CVolumeWindow volume(VolumeWindowParts {recording, cardMixers, platform.Prompts(), services.desktop,
        services.programs, window.Controller(), services.dataFolder / "help", services.session.audioOutput, waveIn,
        services.session.programFolder, karaoke.Session(), voiceEffect, services.earMonitor});
    volume.show();
    RunEventsFor(300);
    saved &= Save(volume, folder, "volume-typical-card");
    // 更多效果… on the installed plate reverb.
    if (services.voiceEffects) {
        CMoreEffectsDialog moreEffects(*services.voiceEffects, VoiceEffectSetting {"urn:dragonfly:plate", {}}, &volume);
        moreEffects.show();
        RunEventsFor(100);
        saved &= Save(moreEffects, folder, "volume-more-effects");
    }
    // The song list window with its first list and the demo song selected.
    CSongListWindow& songList = karaoke.SongListWindow();
    static_cast<QListWidget*>(songList.Control(kSongListBox))->setCurrentRow(0);
    RunEventsFor(100);
    saved &= Save(songList, folder, "songlist-demo");
    saved &= SaveDeleteListQuestion(karaoke, folder);
    saved &= SavePerformanceWindow(karaoke, services.session, folder);
    saved &= SaveCatalogWindow(platform.Prompts(), folder);
    saved &= SaveVideoWindow(karaoke, folder);
    saved &= SaveMp3gSong(karaoke, folder);
    // Each other language in a run of its own, since a program installs its language once.
    for (const char* language : {"en", "zh_TW"}) {
        saved &= QProcess::execute(QApplication::applicationFilePath(),
                     {QStringLiteral("--language"), QString::fromUtf8(language), folder})
            == 0;
    }
    return saved ? 0 : 1;
}
