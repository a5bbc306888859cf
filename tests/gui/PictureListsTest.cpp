#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTest>
#include <thread>
#include <vector>

#include "devsim/BlankPng.h"
#include "gui/discovery/PictureLists.h"
#include "gui/discovery/ThumbnailDecoder.h"

using lm::gui::PictureLists;

namespace {

const QColor kBackground(255, 0, 255);
const QColor kInside(0, 160, 0);
const QColor kEdge(200, 0, 0);
const QColor kCentre(0, 0, 200);

// A JPEG of width x height: a solid picture, or with `edge` bands of kEdge left and right of kCentre.
QByteArray jpeg(int width, int height, int edge = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(edge > 0 ? kCentre : kInside);
    if (edge > 0) {
        QPainter p(&image);
        p.fillRect(0, 0, edge, height, kEdge);
        p.fillRect(width - edge, 0, edge, height, kEdge);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

bool near(QColor a, QColor b) {
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
}

std::span<const unsigned char> bytesOf(const QByteArray& data) {
    return {reinterpret_cast<const unsigned char*>(data.constData()), static_cast<std::size_t>(data.size())};
}

// A picture of coloured noise, different for each seed: what a camera picture costs to keep.
QImage noise(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    uint32_t state = 2654435761u * static_cast<uint32_t>(seed + 1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, 0xFF000000u | (state >> 8));
        }
    return image;
}

QString where(QSize source, QPoint p) {
    return QString("%1x%2 at %3,%4").arg(source.width()).arg(source.height()).arg(p.x()).arg(p.y());
}

// Qt refuses to allocate a decoded picture past this many megabytes. Pictures of several megapixels
// decode within it all the same: only what the thumbnails need is decoded.
constexpr int kDecodeMegabytes = 2;

}  // namespace

class PictureListsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QImageReader::setAllocationLimit(kDecodeMegabytes); }

    // Where the picture lies in 160 x 120, checked on both sides of each of its edges; background elsewhere.
    void largePictureBands() {
        // The geometry's own rules are its tests' concern: one case each way, one of them decoded small.
        const std::pair<QSize, QRect> cases[] = {
            {{176, 144}, {7, 0, 146, 120}},  // height-limited
            // Height-limited by the coarse test, so 240 columns: the overhang is cut off.
            {{300, 150}, {0, 0, 160, 120}},
            {{3000, 1125}, {0, 30, 160, 60}},  // width-limited, decoded small
        };
        for (const auto& [source, picture] : cases) {
            const QByteArray body = jpeg(source.width(), source.height());
            const auto pictures = lm::gui::scaleThumbnails(bytesOf(body), kBackground);
            QVERIFY(pictures.has_value());
            const QImage& large = pictures->large;
            QCOMPARE(large.size(), QSize(160, 120));
            const QPoint centre = picture.center();
            for (const QPoint& p : {picture.topLeft(), picture.bottomRight(),
                                    QPoint(centre.x(), picture.top()), QPoint(centre.x(), picture.bottom()),
                                    QPoint(picture.left(), centre.y()), QPoint(picture.right(), centre.y())})
                QVERIFY2(near(large.pixelColor(p), kInside), qPrintable(where(source, p)));
            for (const QPoint& p :
                 {QPoint(centre.x(), picture.top() - 1), QPoint(centre.x(), picture.bottom() + 1),
                  QPoint(picture.left() - 1, centre.y()), QPoint(picture.right() + 1, centre.y())})
                if (large.rect().contains(p))
                    QVERIFY2(large.pixelColor(p) == kBackground, qPrintable(where(source, p)));
        }
    }

    void smallPictureIsCentreSquare() {
        // 400 columns of kEdge on each side of the central 2400 x 2400 square.
        const QByteArray body = jpeg(3200, 2400, 400);
        const auto pictures = lm::gui::scaleThumbnails(bytesOf(body), kBackground);
        QVERIFY(pictures.has_value());
        const QImage& small = pictures->small;
        QCOMPARE(small.size(), QSize(48, 48));
        for (const QPoint& p : {QPoint(0, 0), QPoint(47, 47), QPoint(0, 24), QPoint(47, 24), QPoint(24, 24)})
            QVERIFY2(near(small.pixelColor(p), kCentre), qPrintable(where(QSize(3200, 2400), p)));
        // The large picture keeps the whole width: the side bands show.
        const QImage& large = pictures->large;
        QVERIFY(near(large.pixelColor(2, 60), kEdge));
        QVERIFY(near(large.pixelColor(157, 60), kEdge));
        QVERIFY(near(large.pixelColor(80, 60), kCentre));
    }

    void undecodableBodies() {
        for (const QByteArray& body : {QByteArray(), QByteArray("<html><body>Not found</body></html>"),
                                       jpeg(64, 48).left(20), QByteArray("\xFF\xD8\xFF\xE0", 4)}) {
            PictureLists lists;
            QVERIFY2(!lm::gui::decodeThumbnail(bytesOf(body), lists, kBackground).has_value(),
                     body.toHex().constData());
            QCOMPARE(lists.size(), std::size_t{1});
        }
    }

    // A few kilobytes may claim more pixels than any camera gives: refused before decoding, with no
    // limit from Qt to stop it. The same picture at a small size decodes.
    void refusesPicturesPastTheBound() {
        PictureLists lists;
        const std::vector<unsigned char> huge = lm::sim::blankPng(5700, 5700);
        QVERIFY(huge.size() < 40 * 1024);
        QImageReader::setAllocationLimit(0);
        const bool refused = !lm::gui::decodeThumbnail(huge, lists, kBackground).has_value();
        QImageReader::setAllocationLimit(kDecodeMegabytes);
        QVERIFY(refused);
        QVERIFY(lm::gui::decodeThumbnail(lm::sim::blankPng(64, 48), lists, kBackground).has_value());
    }

    void storeAppendsThenReplacesInPlace() {
        PictureLists lists;
        QImage a(48, 48, QImage::Format_RGB32);
        a.fill(Qt::red);
        QImage b(160, 120, QImage::Format_RGB32);
        b.fill(Qt::blue);
        const QImage defaultSmall = lists.small(0).toImage();
        QCOMPARE(lists.store(0, a, b), 1u);
        QCOMPARE(lists.store(0, a, b), 2u);
        a.fill(Qt::green);
        QCOMPARE(lists.store(1, a, b), 1u);
        QCOMPARE(lists.size(), std::size_t{3});
        // Kept as JPEG: the colours come back within its loss.
        QVERIFY(near(lists.small(1).toImage().pixelColor(10, 10), Qt::green));
        QVERIFY(near(lists.small(2).toImage().pixelColor(10, 10), Qt::red));
        // A position the lists never handed out is not trusted: the pair is appended.
        QCOMPARE(lists.store(99, a, b), 3u);
        // Unknown positions show the default; the default itself is never replaced.
        QCOMPARE(lists.small(1000).toImage(), defaultSmall);
        QCOMPARE(lists.small(0).toImage(), defaultSmall);
        // Pictures of another size are brought to the list's size.
        QCOMPARE(lists.store(0, QImage(10, 10, QImage::Format_RGB32), QImage(5, 5, QImage::Format_RGB32)),
                 4u);
        QCOMPARE(lists.large(4).size(), QSize(160, 120));
    }

    // Only a bounded number of pictures is held decoded: the least recently drawn goes, and is
    // decoded from its kept bytes again, identical, when it is drawn again. A picture replaced in
    // place never shows its old decoding.
    void decodedPicturesAreEvictedAndComeBackIdentical() {
        PictureLists lists(2 * 160 * 120 * 4);  // room for two large pictures
        std::vector<uint32_t> positions;
        for (int i = 0; i < 3; ++i)
            positions.push_back(lists.store(0, noise(48, 48, i), noise(160, 120, i)));
        const QImage first = lists.large(positions[0]).toImage();
        QCOMPARE(lists.decodes(), std::size_t{1});
        QCOMPARE(lists.large(positions[0]).toImage(), first);
        QCOMPARE(lists.decodes(), std::size_t{1});
        lists.large(positions[1]);
        lists.large(positions[2]);
        QCOMPARE(lists.decodes(), std::size_t{3});
        QCOMPARE(lists.large(positions[0]).toImage(), first);
        QCOMPARE(lists.decodes(), std::size_t{4});

        lists.store(positions[0], noise(48, 48, 7), noise(160, 120, 7));
        QVERIFY(lists.large(positions[0]).toImage() != first);
    }

    // A removed device's pictures are freed and their position is taken by the next new picture;
    // positions not in use are left alone.
    void releaseFreesThePictures() {
        PictureLists lists;
        const std::size_t empty = lists.encodedBytes();
        const uint32_t a = lists.store(0, noise(48, 48, 1), noise(160, 120, 1));
        const std::size_t one = lists.encodedBytes();
        QVERIFY(one > empty);
        const uint32_t b = lists.store(0, noise(48, 48, 2), noise(160, 120, 2));
        const QImage bShown = lists.large(b).toImage();
        lists.release(a);
        lists.release(0);
        lists.release(1000);
        QCOMPARE(lists.size(), std::size_t{2});
        QCOMPARE(lists.large(a).toImage(), lists.large(0).toImage());
        QCOMPARE(lists.large(b).toImage(), bShown);
        QCOMPARE(lists.store(0, noise(48, 48, 3), noise(160, 120, 3)), a);
        QCOMPARE(lists.size(), std::size_t{3});
        lists.release(a);
        lists.release(b);
        QCOMPARE(lists.encodedBytes(), empty);
    }

    void positionsStayInStepAcrossThreads() {
        PictureLists lists;
        constexpr int kThreads = 8;
        constexpr int kStores = 40;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&lists, t] {
                for (int i = 0; i < kStores; ++i) {
                    const QColor colour(t * 30, i * 5, 255 - t * 30);
                    QImage small(48, 48, QImage::Format_RGB32);
                    small.fill(colour);
                    QImage large(160, 120, QImage::Format_RGB32);
                    large.fill(colour);
                    const uint32_t at = lists.store(0, small, large);
                    // Replace in place with the same pair, as a second scan would.
                    lists.store(at, small, large);
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
        QCOMPARE(lists.size(), std::size_t{1 + kThreads * kStores});
        for (uint32_t i = 1; i < lists.size(); ++i)
            QCOMPARE(lists.small(i).toImage().pixelColor(0, 0), lists.large(i).toImage().pixelColor(0, 0));
    }
};

QTEST_MAIN(PictureListsTest)
#include "PictureListsTest.moc"
