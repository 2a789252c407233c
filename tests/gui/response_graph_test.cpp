// The curve editor driven by synthetic mouse events: selecting, adding,
// refusing and deleting points, moving them on release within the plot, the
// readout text, and the curve reported after every change.

#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <memory>

#include "ui/response_graph.h"

namespace {

// The shaper's graph: 156 x 116 pixels, x -32768..32768, y 32767..-32767,
// starting as the identity line.
void CreateShaperGraph(ResponseGraph& graph) {
  graph.Create(QRect(0, 0, 156, 116), ValueRange{-32768.0f, 32768.0f, 32767.0f, -32767.0f},
               -32767.0f, 32767.0f);
  graph.SetShowAxes(true);
}

// The compressor's graph: level 0..32768 across, gain 40..-40 dB down, flat.
void CreateCompressionGraph(ResponseGraph& graph) {
  graph.Create(QRect(0, 0, 176, 120), ValueRange{0.0f, 32768.0f, 40.0f, -40.0f}, 0.0f, 0.0f);
  graph.SetShowAxes(true);
  graph.SetReadout(true, QString(), QStringLiteral("dB"));
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
    QCOMPARE(graph.PointCount(), 2);
    QCOMPARE(graph.SelectedPoint(), 1);
    QCOMPARE(graph.PixelPoint(0).x(), 0);
    QCOMPARE(graph.PixelPoint(1).x(), 156);
    QVERIFY(graph.PixelPoint(0).y() >= 115);  // bottom edge
    QCOMPARE(graph.PixelPoint(1).y(), 0);     // top edge
    // The rising diagonal, in value units derived from the pixels.
    QCOMPARE(graph.Curve()[0].x, -32768.0f);
    QCOMPARE(graph.Curve()[1].x, 32768.0f);
    QVERIFY(graph.Curve()[0].y < -32000.0f);
    QCOMPARE(graph.Curve()[1].y, 32767.0f);
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
    QCOMPARE(graph.PointCount(), 3);
    QCOMPARE(graph.SelectedPoint(), 1);
    QCOMPARE(graph.PixelPoint(1), QPoint(40, 30));
    LeftClick(graph, QPoint(100, 90));
    QCOMPARE(graph.PointCount(), 4);
    QCOMPARE(graph.SelectedPoint(), 2);
    LeftClick(graph, QPoint(20, 100));
    QCOMPARE(graph.PointCount(), 5);
    QCOMPARE(graph.SelectedPoint(), 1);
    for (int i = 1; i < graph.PointCount(); ++i) {
      QVERIFY(graph.PixelPoint(i).x() > graph.PixelPoint(i - 1).x());
      QVERIFY(graph.Curve()[i].x > graph.Curve()[i - 1].x);
    }
    QCOMPARE(graph.Curve()[1].x, graph.ValueOf(QPoint(20, 100)).x);
  }

  void PressWithinThreePixelsSelectsThePointInsteadOfAdding() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(80, 60));
    LeftClick(graph, QPoint(120, 60));
    QCOMPARE(graph.SelectedPoint(), 2);
    LeftPress(graph, QPoint(83, 57));  // 3 pixels off in both directions
    QCOMPARE(graph.PointCount(), 4);
    QCOMPARE(graph.SelectedPoint(), 1);
    LeftRelease(graph, QPoint(83, 57));
    QCOMPARE(graph.PixelPoint(1), QPoint(83, 57));
  }

  void PressTooCloseToANeighbourKeepsThePreviousSelectionArmed() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(80, 60));
    LeftClick(graph, QPoint(120, 60));
    QCOMPARE(graph.SelectedPoint(), 2);
    // Four pixels below point 1 misses it, and 3 pixels right of it is too
    // close to add: nothing is added and point 2 stays selected...
    LeftPress(graph, QPoint(83, 64));
    QCOMPARE(graph.PointCount(), 4);
    QCOMPARE(graph.SelectedPoint(), 2);
    // ...so the release moves point 2, kept 4 pixels right of point 1.
    LeftRelease(graph, QPoint(83, 64));
    QCOMPARE(graph.PointCount(), 4);
    QCOMPARE(graph.PixelPoint(2), QPoint(84, 64));
    QCOMPARE(graph.PixelPoint(1), QPoint(80, 60));
  }

  void PointsAtExactlyFourPixelsAreAccepted() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(80, 60));
    LeftClick(graph, QPoint(84, 100));
    QCOMPARE(graph.PointCount(), 4);
    LeftClick(graph, QPoint(4, 100));  // 4 pixels from the left end point
    QCOMPARE(graph.PointCount(), 5);
    LeftClick(graph, QPoint(173, 100));  // 3 pixels from the right end point
    QCOMPARE(graph.PointCount(), 5);
  }

  void RightPressDeletesOnlyInnerPoints() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    // Only two points: nothing at all happens.
    RightPress(graph, graph.PixelPoint(1));
    QCOMPARE(graph.PointCount(), 2);
    LeftClick(graph, QPoint(50, 30));
    LeftClick(graph, QPoint(100, 80));
    QCOMPARE(graph.PointCount(), 4);
    // End points stay.
    RightPress(graph, graph.PixelPoint(0));
    RightPress(graph, graph.PixelPoint(3));
    QCOMPARE(graph.PointCount(), 4);
    // Free space: nothing.
    RightPress(graph, QPoint(140, 10));
    QCOMPARE(graph.PointCount(), 4);
    // An inner point goes; the selection keeps its index, now naming the
    // point that followed.
    RightPress(graph, QPoint(51, 31));
    QCOMPARE(graph.PointCount(), 3);
    QCOMPARE(graph.SelectedPoint(), 1);
    QCOMPARE(graph.PixelPoint(1), QPoint(100, 80));
    QCOMPARE(graph.Curve()[1].x, graph.ValueOf(QPoint(100, 80)).x);
    QCOMPARE(graph.Curve()[2].x, 32768.0f);
  }

  void ReleaseAboveOrBelowThePlotStopsAtItsEdge() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(60, 60));
    LeftPress(graph, QPoint(60, 60));
    LeftRelease(graph, QPoint(60, -35));
    QCOMPARE(graph.PixelPoint(1), QPoint(60, 0));
    QCOMPARE(graph.Curve()[1].y, 40.0f);
    LeftPress(graph, QPoint(60, 0));
    LeftRelease(graph, QPoint(60, 400));
    QCOMPARE(graph.PixelPoint(1), QPoint(60, 120));
    QCOMPARE(graph.Curve()[1].y, -40.0f);
    QVERIFY(!graph.Dragging());
  }

  void InnerPointsStayFourPixelsClearOfTheirNeighbours() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    LeftClick(graph, QPoint(50, 60));
    LeftClick(graph, QPoint(100, 60));
    LeftPress(graph, QPoint(100, 60));
    LeftRelease(graph, QPoint(20, 70));
    QCOMPARE(graph.PixelPoint(2), QPoint(54, 70));
    LeftPress(graph, QPoint(50, 60));
    LeftRelease(graph, QPoint(-20, 10));
    QCOMPARE(graph.PixelPoint(1), QPoint(4, 10));
  }

  void EndPointsMoveOnlyVertically() {
    ResponseGraph graph;
    CreateShaperGraph(graph);
    LeftPress(graph, QPoint(155, 1));
    QCOMPARE(graph.SelectedPoint(), 1);
    LeftRelease(graph, QPoint(90, 70));
    QCOMPARE(graph.PixelPoint(1), QPoint(156, 70));
    QCOMPARE(graph.Curve()[1].x, 32768.0f);
    LeftPress(graph, graph.PixelPoint(0) + QPoint(1, -1));
    QCOMPARE(graph.SelectedPoint(), 0);
    LeftRelease(graph, QPoint(-30, 20));
    QCOMPARE(graph.PixelPoint(0), QPoint(0, 20));
    QCOMPARE(graph.Curve()[0].x, -32768.0f);
  }

  void AHundredAndTwentySeventhPointIsTheLast() {
    ResponseGraph graph;
    graph.Create(QRect(0, 0, 600, 100), ValueRange{0.0f, 600.0f, 1.0f, -1.0f}, 0.0f, 0.0f);
    for (int x = 4; x <= 596 && graph.PointCount() < 127; x += 4) {
      LeftClick(graph, QPoint(x, 50));
    }
    QCOMPARE(graph.PointCount(), 127);
    LeftClick(graph, QPoint(590, 10));
    QCOMPARE(graph.PointCount(), 127);
    for (int i = 1; i < graph.PointCount(); ++i) {
      QVERIFY(graph.PixelPoint(i).x() - graph.PixelPoint(i - 1).x() >= 4);
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
    QCOMPARE(graph->PointCount(), 3);
    QCOMPARE(graph->SelectedPoint(), 1);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(160, 20));
    QCOMPARE(graph->PixelPoint(1), QPoint(60, 0));
    QVERIFY(!graph->Dragging());
  }

  void EveryChangeReportsTheCurve() {
    ResponseGraph graph;
    CreateShaperGraph(graph);
    QSignalSpy reports(&graph, &ResponseGraph::CurveApplied);
    LeftClick(graph, QPoint(78, 58));  // adds a point on the press, moves it on the release
    QCOMPARE(reports.count(), 2);
    QCOMPARE(graph.Curve().size(), size_t{3});
    LeftPress(graph, QPoint(80, 10));  // too close to the new point in x: refused
    QCOMPARE(reports.count(), 2);
    LeftRelease(graph, QPoint(80, 10));  // moves the point still selected
    QCOMPARE(reports.count(), 3);
    RightPress(graph, graph.PixelPoint(1));
    QCOMPARE(reports.count(), 4);
    QCOMPARE(graph.Curve().size(), size_t{2});
    graph.ApplyCurve();
    QCOMPARE(reports.count(), 5);
  }

  void AMarginAroundThePlotShiftsItsPixels() {
    ResponseGraph graph;
    graph.Create(QRect(10, 20, 176, 120), ValueRange{0.0f, 32768.0f, 40.0f, -40.0f}, 0.0f, 0.0f, 3);
    QCOMPARE(graph.geometry(), QRect(7, 17, 182, 126));
    QCOMPARE(graph.PlotArea(), QRect(3, 3, 176, 120));
    QCOMPARE(graph.PixelPoint(0), QPoint(3, 63));
    QCOMPARE(graph.PixelPoint(1), QPoint(179, 63));
    graph.SetReadout(true, QString(), QStringLiteral("dB"));
    const QImage image = graph.grab().toImage();
    QCOMPARE(image.pixelColor(50, 3), QColor(Qt::black));      // outline, top
    QCOMPARE(image.pixelColor(50, 122), QColor(Qt::black));    // outline, bottom
    QCOMPARE(image.pixelColor(178, 30), QColor(Qt::black));    // outline, right
    QCOMPARE(image.pixelColor(180, 64), QColor(240, 16, 16));  // the whole marker shows
    QCOMPARE(graph.Curve()[1].x, 32768.0f);
    LeftClick(graph, QPoint(2, 40));  // left of the plot: nothing is added
    QCOMPARE(graph.PointCount(), 2);
    LeftPress(graph, QPoint(91, 63));
    LeftRelease(graph, QPoint(91, 200));
    QCOMPARE(graph.PixelPoint(1), QPoint(91, 123));
    QCOMPARE(graph.Curve()[1].y, -40.0f);
    QCOMPARE(graph.Curve()[1].x, 16384.0f);
  }

  // A layout may give the control twice the room: the plot is drawn twice as
  // large and the pointer lands on the plot pixel under it, so the curve is
  // the same as at the plot's own size.
  void ALargerControlMapsThePointerOntoThePlotsPixels() {
    ResponseGraph graph;
    CreateCompressionGraph(graph);
    graph.resize(2 * 176, 2 * 120);
    QCOMPARE(graph.ShownPlot(), QRectF(0, 0, 352, 240));
    QCOMPARE(graph.ControlPointOf(QPoint(40, 30)), QPoint(80, 60));
    graph.SetPointerReadout([](float x, float y) { return QStringLiteral("%1 %2").arg(x).arg(y); });
    LeftPress(graph, QPoint(176, 121));  // plot pixel (88, 60.5), the middle
    QCOMPARE(graph.PointCount(), 3);
    QCOMPARE(graph.PixelPoint(1), QPoint(88, 61));
    // While the button is held the readout shows where the point will land.
    QVERIFY(graph.PointerReadoutText().startsWith(QStringLiteral("16384 -0.66")));
    LeftRelease(graph, QPoint(176, 1000));
    QCOMPARE(graph.PixelPoint(1), QPoint(88, 120));
    QCOMPARE(graph.Curve()[1].x, 16384.0f);
    QCOMPARE(graph.Curve()[1].y, -40.0f);
  }
};

QTEST_MAIN(ResponseGraphTest)
#include "response_graph_test.moc"
