// The preview view: its own pixel memory, sized at least 1 x 1, wrapped for Qt without
// conversion.
#include <QImage>
#include <QTest>
#include <cstdint>

#include "WindowTestSupport.h"
#include "app/PreviewView.h"
#include "brush/BrushInfo.h"
#include "preview/TestStroke.h"

using quarnel::CImageViewQt;

class WindowPreviewViewTest : public QObject {
  Q_OBJECT

 private slots:
  void constructionSizesEightByEight() {
    CImageViewQt view;
    QCOMPARE(view.width, 8);
    QCOMPARE(view.height, 8);
    QCOMPARE(view.stride, 32);
    QVERIFY(view.pixels != nullptr);
    // The engine reaches pixels through the base class's accessors.
    pavo::CImage32& base = view;
    QCOMPARE(base.PixelAddress(7, 7), view.pixels + 63);
    QVERIFY(base.PixelAddress(8, 0) == nullptr);
  }

  void resizeToTheCurrentSizeKeepsThePixels() {
    CImageViewQt view;
    QVERIFY(view.Resize(5, 3));
    view.Fill(0xff123456);
    uint32_t* before = view.pixels;
    QVERIFY(view.Resize(5, 3));
    QCOMPARE(view.pixels, before);
    QCOMPARE(view.GetPixel(4, 2), 0xff123456u);
  }

  void resizeClampsToOnePixel_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("expectedW");
    QTest::addColumn<int>("expectedH");
    QTest::newRow("0 x 0") << 0 << 0 << 1 << 1;
    QTest::newRow("negative width") << -5 << 3 << 1 << 3;
    QTest::newRow("negative height") << 4 << -1 << 4 << 1;
    QTest::newRow("plain") << 492 << 296 << 492 << 296;
  }
  void resizeClampsToOnePixel() {
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, expectedW);
    QFETCH(int, expectedH);
    CImageViewQt view;
    QVERIFY(view.Resize(w, h));
    QCOMPARE(view.width, expectedW);
    QCOMPARE(view.height, expectedH);
    QCOMPARE(view.stride, expectedW * 4);
    QVERIFY(view.pixels != nullptr);
    view.SetPixelUnchecked(expectedW - 1, expectedH - 1, 0xff00ff00);  // the last pixel exists
    QCOMPARE(view.GetPixel(expectedW - 1, expectedH - 1), 0xff00ff00u);
  }

  void sizeWithoutMemoryLeavesNoPixels_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("rows too long for Qt") << (1 << 30) << 1;
    QTest::newRow("block beyond 2 GiB") << (1 << 16) << (1 << 16);
  }
  void sizeWithoutMemoryLeavesNoPixels() {
    QFETCH(int, w);
    QFETCH(int, h);
    CImageViewQt view;
    QVERIFY(!view.Resize(w, h));
    QVERIFY(!view.HasPixels());
    QCOMPARE(view.width, 0);
    QCOMPARE(view.height, 0);
    QVERIFY(view.Wrap().isNull());
    const pavo::CImage32& base = view;
    QVERIFY(base.PixelAddress(0, 0) == nullptr);
    // Painting into a view without pixels does nothing (and does not crash).
    pavo::CBrushInfo info;
    pavo::DrawTestStroke(info, view, 0);
    QVERIFY(!view.HasPixels());
    // A later size that fits brings the pixels back.
    QVERIFY(view.Resize(3, 2));
    QVERIFY(view.HasPixels());
    QCOMPARE(view.width, 3);
  }

  // Qt must see 0xAARRGGBB values where the engine wrote them: a wrong format or stride
  // would swap channels or shift rows.
  void wrapSharesTheMemoryAsArgb32() {
    CImageViewQt view;
    QVERIFY(view.Resize(3, 2));
    view.Fill(0xff000000);
    view.SetPixelUnchecked(2, 1, 0x80112233);
    view.SetPixelUnchecked(0, 1, 0xffff0000);
    const QImage image = view.Wrap();
    QCOMPARE(image.format(), QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(3, 2));
    QCOMPARE(image.constBits(), reinterpret_cast<const uchar*>(view.pixels));
    QCOMPARE(image.pixel(2, 1), 0x80112233u);
    QCOMPARE(image.pixel(0, 1), 0xffff0000u);
    QCOMPARE(image.pixel(1, 0), 0xff000000u);
  }
};

QUARNEL_WINDOW_TEST(WindowPreviewViewTest)

#include "WindowPreviewViewTest.moc"
