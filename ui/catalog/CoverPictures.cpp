#include "ui/catalog/CoverPictures.h"

#include "common/RegularFile.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <filesystem>

namespace linlangok {
namespace {

// The covers kept: more than a page of results.
constexpr int kKeptCovers = 1000;

// Runs on the worker thread.
QImage ReadCover(const QByteArray& file, int side)
{
    const FileContent content = ReadRegularFile(std::filesystem::path(file.toStdString()), kLargestCoverBytes);
    if (content.result != EFileRead::Done)
        return {};
    QByteArray bytes = QByteArray::fromRawData(content.bytes.data(), static_cast<qsizetype>(content.bytes.size()));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestCoverSide || size.height() > kLargestCoverSide)
        return {};
    // A JPEG decoder scales as it decodes; for other formats the reader scales after.
    reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1}));
    return reader.read();
}

} // namespace

CCoverPictures::CCoverPictures(int side, QObject* parent)
    : QObject(parent)
    , m_side(side)
    , m_pictures(kKeptCovers)
{
    m_worker.setMaxThreadCount(1);
}

CCoverPictures::~CCoverPictures()
{
    m_worker.waitForDone();
}

QPixmap CCoverPictures::Cover(const QByteArray& file)
{
    if (const QPixmap* picture = m_pictures.object(file))
        return *picture;
    if (file != m_reading && std::find(m_waiting.begin(), m_waiting.end(), file) == m_waiting.end()) {
        m_waiting.push_back(file);
        ReadNext();
    }
    return {};
}

void CCoverPictures::DropWaiting()
{
    m_waiting.clear();
}

void CCoverPictures::ReadNext()
{
    if (!m_reading.isEmpty() || m_waiting.empty())
        return;
    m_reading = m_waiting.front();
    m_waiting.pop_front();
    // The answer is posted to this object: it is dropped if this is gone first.
    m_worker.start([this, file = m_reading, side = m_side] {
        const QImage picture = ReadCover(file, side);
        QMetaObject::invokeMethod(
            this, [this, file, picture] { Take(file, picture); }, Qt::QueuedConnection);
    });
}

void CCoverPictures::Take(const QByteArray& file, const QImage& picture)
{
    m_pictures.insert(file, new QPixmap(QPixmap::fromImage(picture)));
    m_reading.clear();
    emit coverRead(file);
    ReadNext();
}

} // namespace linlangok
