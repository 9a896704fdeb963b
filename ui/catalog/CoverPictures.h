#pragma once

#include <QByteArray>
#include <QCache>
#include <QObject>
#include <QPixmap>
#include <QThreadPool>

#include <cstdint>
#include <deque>

namespace linlangok {

// A cover file of more bytes, or wider or taller than this, is no cover.
inline constexpr std::uint64_t kLargestCoverBytes = 16 << 20;
inline constexpr int kLargestCoverSide = 4096;

// The songs' covers as small pictures: read, decoded and scaled on a worker thread one at a time,
// so that a slow disk or a large picture never holds up the UI thread, and kept for the songs
// shown last. Files are named by their paths' bytes. The UI thread alone calls it.
class CCoverPictures final : public QObject {
    Q_OBJECT
public:
    // The pictures fit a square of side pixels.
    explicit CCoverPictures(int side, QObject* parent = nullptr);
    // Waits for the read under way; those not started are dropped.
    ~CCoverPictures() override;

    // The file's picture scaled, or a null pixmap while it is read and for a file that is no
    // picture (missing, too large, not an image). coverRead follows when it was not known.
    QPixmap Cover(const QByteArray& file);
    // Drops the reads not started: the songs they were for are no longer shown.
    void DropWaiting();

signals:
    void coverRead(const QByteArray& file);

private:
    void ReadNext();
    void Take(const QByteArray& file, const QImage& picture);

    int m_side;
    QCache<QByteArray, QPixmap> m_pictures;
    std::deque<QByteArray> m_waiting;
    QByteArray m_reading; // empty while none is read
    QThreadPool m_worker;
};

} // namespace linlangok
