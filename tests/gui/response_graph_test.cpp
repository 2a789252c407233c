// The curve editor driven by synthetic mouse events: selecting, adding,
// refusing and deleting points, moving them on release within the plot, the
// readout text, and the curve reaching the bound effects.

#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <memory>

#include "effects/compression_effect.h"
#include "effects/distortion_effect.h"
#include "ui/response_graph.h"

namespace {

// The shaper's graph: 156 x 116 pixels, x -32768..32768, y 32767..-32767,
// starting as the identity line.
void CreateShaperGraph(ResponseGraph& graph) {
  graph.Create(QRect(0, 0, 156, 116), ValueRange{-32768.0f, 32768.0f, 32767.0f, -32767.0f},
               -32767.0f, 32767.0f);
  graph.showAxes = true;
}

// The compressor's graph: level 0..32768 across, gain 40..-40 dB down, flat.
void CreateCompressionGraph(ResponseGraph& graph) {
  graph.Create(QRect(0, 0, 176, 120), ValueRange{0.0f, 32768.0f, 40.0f, -40.0f}, 0.0f, 0.0f);
  graph.showAxes = true;
  graph.showReadout = true;
  graph.yUnit = QStringLiteral("dB");
}

void LeftPress(ResponseGraph& graph, QPoint p) {
  QTest::mousePress(&graph, Qt::LeftButton, Qt::NoModifier, p);
}
void LeftRelease(ResponseGraph& graph, QPoint p) {
  QTest::mouseRelease(&graph, Qt::LeftButton, Qt::NoModifier, p);
}
void LeftClick(ResponseGraph& graph, QPoint p) {
  LeftPress(graph, p);
  LeftRelease(graph, p);
}
void RightPress(ResponseGraph& graph, QPoint p) {
  QTest::mousePress(&graph, Qt::RightButton, Qt::NoModifier, p);
  QTest::mouseRelease(&graph, Qt::RightButton, Qt::NoModifier, p);
}

}  // namespace

class ResponseGraphTest : public QObject {
  Q_OBJECT

 private slots:
  void CreateStartsWithTwoEndPointsAndSelectsTheRightOne() {
    ResponseGraph graph;
    CreateShaperGraph(graph);
    QCOMPARE(graph.count, 2);
    QCOMPARE(graph.selectedPoint, 1);
    QCOMPARE(graph.pixelPoints[0].x(), 0);
    QCOMPARE(graph.pixelPoints[1].x(), 156);
    QVERIFY(graph.pixelPoints[0].y() >= 115);  // bottom edge
    QCOMPARE(graph.pixelPoints[1].y(), 0);     // top edge
    // The rising diagonal, in value units derived from the pixels.
    QCOMPARE(graph.valuePoints[0].x, -32768.0f);
    QCOMPARE(graph.valuePoints[1].x, 32768.0f);
    QVERIFY(graph.valuePoints[0].y < -32000.0f);
    QCOMPARE(graph.valuePoints[1].y, 32767.0f);
  }

  void ValuesAndPixelsConvertThroughThePlotMapping() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    const CurvePoint middle = graph.ValueOf(QPoint(88, 60));
    QCOMPARE(middle.x, 16384.0f);
    QCOMPARE(middle.y, 0.0f);
    QCOMPARE(graph.PixelOf(16384.0f, 0.0f), QPoint(88, 60));
    QCOMPARE(graph.ValueOf(QPoint(0, 120)).y, -40.0f);
  }

  void LeftPressOnFreeSpaceAddsASelectedPointBetweenItsNeighbours() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(40, 30));
    QCOMPARE(graph.count, 3);
    QCOMPARE(graph.selectedPoint, 1);
    QCOMPARE(graph.pixelPoints[1], QPoint(40, 30));
    LeftClick(graph, QPoint(100, 90));
    QCOMPARE(graph.count, 4);
    QCOMPARE(graph.selectedPoint, 2);
    LeftClick(graph, QPoint(20, 100));
    QCOMPARE(graph.count, 5);
    QCOMPARE(graph.selectedPoint, 1);
    for (int i = 1; i < graph.count; ++i) {
      QVERIFY(graph.pixelPoints[i].x() > graph.pixelPoints[i - 1].x());
      QVERIFY(graph.valuePoints[i].x > graph.valuePoints[i - 1].x);
    }
    QCOMPARE(graph.valuePoints[1].x, graph.ValueOf(QPoint(20, 100)).x);
  }

  void PressWithinThreePixelsSelectsThePointInsteadOfAdding() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(80, 60));
    LeftClick(graph, QPoint(120, 60));
    QCOMPARE(graph.selectedPoint, 2);
    LeftPress(graph, QPoint(83, 57));  // 3 pixels off in both directions
    QCOMPARE(graph.count, 4);
    QCOMPARE(graph.selectedPoint, 1);
    LeftRelease(graph, QPoint(83, 57));
    QCOMPARE(graph.pixelPoints[1], QPoint(83, 57));
  }

  void PressTooCloseToANeighbourKeepsThePreviousSelectionArmed() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(80, 60));
    LeftClick(graph, QPoint(120, 60));
    QCOMPARE(graph.selectedPoint, 2);
    // Four pixels below point 1 misses it, and 3 pixels right of it is too
    // close to add: nothing is added and point 2 stays selected...
    LeftPress(graph, QPoint(83, 64));
    QCOMPARE(graph.count, 4);
    QCOMPARE(graph.selectedPoint, 2);
    // ...so the release moves point 2, kept 4 pixels right of point 1.
    LeftRelease(graph, QPoint(83, 64));
    QCOMPARE(graph.count, 4);
    QCOMPARE(graph.pixelPoints[2], QPoint(84, 64));
    QCOMPARE(graph.pixelPoints[1], QPoint(80, 60));
  }

  void PointsAtExactlyFourPixelsAreAccepted() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(80, 60));
    LeftClick(graph, QPoint(84, 100));
    QCOMPARE(graph.count, 4);
    LeftClick(graph, QPoint(4, 100));  // 4 pixels from the left end point
    QCOMPARE(graph.count, 5);
    LeftClick(graph, QPoint(173, 100));  // 3 pixels from the right end point
    QCOMPARE(graph.count, 5);
  }

  void RightPressDeletesOnlyInnerPoints() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    // Only two points: nothing at all happens.
    RightPress(graph, graph.pixelPoints[1]);
    QCOMPARE(graph.count, 2);
    LeftClick(graph, QPoint(50, 30));
    LeftClick(graph, QPoint(100, 80));
    QCOMPARE(graph.count, 4);
    // End points stay.
    RightPress(graph, graph.pixelPoints[0]);
    RightPress(graph, graph.pixelPoints[3]);
    QCOMPARE(graph.count, 4);
    // Free space: nothing.
    RightPress(graph, QPoint(140, 10));
    QCOMPARE(graph.count, 4);
    // An inner point goes; the selection keeps its index, now naming the
    // point that followed.
    RightPress(graph, QPoint(51, 31));
    QCOMPARE(graph.count, 3);
    QCOMPARE(graph.selectedPoint, 1);
    QCOMPARE(graph.pixelPoints[1], QPoint(100, 80));
    QCOMPARE(graph.valuePoints[1].x, graph.ValueOf(QPoint(100, 80)).x);
    QCOMPARE(graph.valuePoints[2].x, 32768.0f);
  }

  void ReleaseAboveOrBelowThePlotStopsAtItsEdge() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(60, 60));
    LeftPress(graph, QPoint(60, 60));
    LeftRelease(graph, QPoint(60, -35));
    QCOMPARE(graph.pixelPoints[1], QPoint(60, 0));
    QCOMPARE(graph.valuePoints[1].y, 40.0f);
    LeftPress(graph, QPoint(60, 0));
    LeftRelease(graph, QPoint(60, 400));
    QCOMPARE(graph.pixelPoints[1], QPoint(60, 120));
    QCOMPARE(graph.valuePoints[1].y, -40.0f);
    QVERIFY(!graph.dragging);
  }

  void InnerPointsStayFourPixelsClearOfTheirNeighbours() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(50, 60));
    LeftClick(graph, QPoint(100, 60));
    LeftPress(graph, QPoint(100, 60));
    LeftRelease(graph, QPoint(20, 70));
    QCOMPARE(graph.pixelPoints[2], QPoint(54, 70));
    LeftPress(graph, QPoint(50, 60));
    LeftRelease(graph, QPoint(-20, 10));
    QCOMPARE(graph.pixelPoints[1], QPoint(4, 10));
  }

  void EndPointsMoveOnlyVertically() {
    ResponseGraph graph;
    CreateShaperGraph(graph);
    LeftPress(graph, QPoint(155, 1));
    QCOMPARE(graph.selectedPoint, 1);
    LeftRelease(graph, QPoint(90, 70));
    QCOMPARE(graph.pixelPoints[1], QPoint(156, 70));
    QCOMPARE(graph.valuePoints[1].x, 32768.0f);
    LeftPress(graph, graph.pixelPoints[0] + QPoint(1, -1));
    QCOMPARE(graph.selectedPoint, 0);
    LeftRelease(graph, QPoint(-30, 20));
    QCOMPARE(graph.pixelPoints[0], QPoint(0, 20));
    QCOMPARE(graph.valuePoints[0].x, -32768.0f);
  }

  void AHundredAndTwentySeventhPointIsTheLast() {
    ResponseGraph graph;
    graph.Create(QRect(0, 0, 600, 100), ValueRange{0.0f, 600.0f, 1.0f, -1.0f}, 0.0f, 0.0f);
    for (int x = 4; x <= 596 && graph.count < 127; x += 4) {
      LeftClick(graph, QPoint(x, 50));
    }
    QCOMPARE(graph.count, 127);
    LeftClick(graph, QPoint(590, 10));
    QCOMPARE(graph.count, 127);
    for (int i = 1; i < graph.count; ++i) {
      QVERIFY(graph.pixelPoints[i].x() - graph.pixelPoints[i - 1].x() >= 4);
    }
  }

  void ReadoutTruncatesToTwoDecimals() {
    QCOMPARE(ResponseGraph::FormatTwoDecimals(3.5f), QStringLiteral(" 3.50"));
    QCOMPARE(ResponseGraph::FormatTwoDecimals(3.049f), QStringLiteral(" 3.04"));
    QCOMPARE(ResponseGraph::FormatTwoDecimals(3.05f), QStringLiteral(" 3.04"));
    QCOMPARE(ResponseGraph::FormatTwoDecimals(-3.5f), QStringLiteral("-3.50"));
    QCOMPARE(ResponseGraph::FormatTwoDecimals(0.0f), QStringLiteral(" 0.00"));
    QCOMPARE(ResponseGraph::FormatTwoDecimals(16384.0f), QStringLiteral(" 16384.00"));
    QCOMPARE(ResponseGraph::FormatTwoDecimals(-0.999f), QStringLiteral("-0.99"));
    QCOMPARE(ResponseGraph::FormatTwoDecimals(0.07f), QStringLiteral(" 0.07"));
  }

  void ReadoutShowsTheSelectedPointWithItsUnits() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    QCOMPARE(graph.ReadoutText(), QStringLiteral(" 32768.00 , 0.00 dB"));
    LeftClick(graph, QPoint(88, 60));
    QCOMPARE(graph.ReadoutText(), QStringLiteral(" 16384.00 , 0.00 dB"));
    LeftPress(graph, QPoint(88, 60));
    LeftRelease(graph, QPoint(88, 66));  // 6 pixels of 2/3 dB each: -4 dB
    QCOMPARE(graph.ReadoutText(), QStringLiteral(" 16384.00 ,-4.00 dB"));
  }

  void PaintsWhitePlotBlackCurveAndColouredMarkers() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(60, 30));
    const QImage image = graph.grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(image.pixelColor(30, 100), QColor(Qt::white));
    QCOMPARE(image.pixelColor(60, 30), QColor(240, 16, 16));  // selected
    QCOMPARE(image.pixelColor(1, 60), QColor(16, 16, 240));   // left end point
    QCOMPARE(image.pixelColor(120, 60), QColor(Qt::black));   // the x axis (y = 0)
  }

  // Through the window system, as a user would: the press on the graph
  // reaches it and the release over the rest of the window still ends the
  // move, limited to the plot.
  void ReleaseOutsideTheControlStillFinishesTheMove() {
    QWidget host;
    host.resize(400, 300);
    auto* graph = new ResponseGraph(&host);
    graph->Create(QRect(100, 100, 176, 120), ValueRange{0.0f, 32768.0f, 40.0f, -40.0f}, 0.0f, 0.0f);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QWindow* window = host.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, QPoint(150, 160));
    QCOMPARE(graph->count, 3);
    QCOMPARE(graph->selectedPoint, 1);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(160, 20));
    QCOMPARE(graph->pixelPoints[1], QPoint(60, 0));
    QVERIFY(!graph->dragging);
  }

  void CurveReachesUnpreparedEffectsAsPointerAndCount() {
    DistortionEffect left;
    DistortionEffect right;
    ResponseGraph graph;
    CreateShaperGraph(graph);
    graph.targetLeft = &left;
    graph.targetRight = &right;
    LeftClick(graph, QPoint(78, 58));
    for (DistortionEffect* effect : {&left, &right}) {
      QCOMPARE(effect->record.curvePoints, graph.valuePoints.data());
      QCOMPARE(effect->record.curvePointCount, 3);
    }
  }

  void CurveDrawnWhilePreparedRebuildsTheShaperTableAtOnce() {
    DistortionEffect effect;
    effect.Prepare(effect.settings, 64, 22050);
    ResponseGraph graph;
    CreateShaperGraph(graph);
    graph.targetLeft = &effect;
    graph.ApplyCurve();
    const int32_t before = effect.record.shapeTable[128];
    // Pull the middle of the curve up to the top: input 0 now maps near the top.
    LeftPress(graph, QPoint(78, 58));
    LeftRelease(graph, QPoint(78, 0));
    std::vector<int32_t> expected(257);
    ResampleCurveToInts(graph.valuePoints.data(), expected.data(), graph.count, 257);
    for (int k = 0; k < 257; ++k) {
      QCOMPARE(effect.record.shapeTable[k], expected[k]);
    }
    QVERIFY(effect.record.shapeTable[128] > before + 30000);
    effect.Release();
  }

  void CurveDrawnWhilePreparedRebuildsTheGainTableAtOnce() {
    CompressionEffect effect(20.0f);
    effect.Prepare(effect.settings, 64, 22050);
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    graph.targetRight = &effect;
    // Drag the right end point to -40 dB.
    LeftPress(graph, QPoint(175, 60));
    LeftRelease(graph, QPoint(175, 200));
    std::vector<float> expected(257);
    ResampleCurve(graph.valuePoints.data(), expected.data(), graph.count, 257);
    QCOMPARE(effect.record.gainTable[0], static_cast<float>(std::exp2(0.0)));
    const float last = effect.record.gainTable[256];
    QVERIFY(std::fabs(last - std::exp(0.115 * -40.0)) < 1e-5);
    for (int k = 0; k < 257; ++k) {
      const double linear = std::exp(0.115 * expected[k]);
      QVERIFY(std::fabs(effect.record.gainTable[k] - linear) < 1e-5 * linear + 1e-7);
    }
    effect.Release();
  }

  void AMarginAroundThePlotShiftsItsPixels() {
    ResponseGraph graph;
    graph.Create(QRect(10, 20, 176, 120), ValueRange{0.0f, 32768.0f, 40.0f, -40.0f}, 0.0f, 0.0f, 3);
    QCOMPARE(graph.geometry(), QRect(7, 17, 182, 126));
    QCOMPARE(graph.PlotArea(), QRect(3, 3, 176, 120));
    QCOMPARE(graph.pixelPoints[0], QPoint(3, 63));
    QCOMPARE(graph.pixelPoints[1], QPoint(179, 63));
    graph.showReadout = true;
    graph.yUnit = QStringLiteral("dB");
    const QImage image = graph.grab().toImage();
    QCOMPARE(image.pixelColor(50, 3), QColor(Qt::black));      // outline, top
    QCOMPARE(image.pixelColor(50, 122), QColor(Qt::black));    // outline, bottom
    QCOMPARE(image.pixelColor(178, 30), QColor(Qt::black));    // outline, right
    QCOMPARE(image.pixelColor(180, 64), QColor(240, 16, 16));  // the whole marker shows
    QCOMPARE(graph.valuePoints[1].x, 32768.0f);
    LeftClick(graph, QPoint(2, 40));  // left of the plot: nothing is added
    QCOMPARE(graph.count, 2);
    LeftPress(graph, QPoint(91, 63));
    LeftRelease(graph, QPoint(91, 200));
    QCOMPARE(graph.pixelPoints[1], QPoint(91, 123));
    QCOMPARE(graph.valuePoints[1].y, -40.0f);
    QCOMPARE(graph.valuePoints[1].x, 16384.0f);
  }
};

QTEST_MAIN(ResponseGraphTest)
#include "response_graph_test.moc"
