// The eight drawing tests as the Click handlers of their start buttons, and
// their rows of the protocol table.
#pragma once

#include "tests/protocol.h"
#include "tests/test_host.h"

namespace drawtests {

extern const TestRow kTextTest;        // Command1
extern const TestRow kLineTest;        // Command2
extern const TestRow kPolygonTest;     // Command3
extern const TestRow kRectangleTest;   // Command4
extern const TestRow kEllipseTest;     // Command5
extern const TestRow kBlittingTest;    // Command6
extern const TestRow kStretchingTest;  // Command7
extern const TestRow kSplineTest;      // Command8

void Command1_Click(TestHost& host);  // Text
void Command2_Click(TestHost& host);  // Line
void Command3_Click(TestHost& host);  // Polygon
void Command4_Click(TestHost& host);  // Rectangle
void Command5_Click(TestHost& host);  // Ellipse and arc
void Command6_Click(TestHost& host);  // Blitting
void Command7_Click(TestHost& host);  // Stretching
void Command8_Click(TestHost& host);  // Spline

// The row of the test started by Command`button` (1 to 8).
const TestRow& TestRowOfButton(int button);

}  // namespace drawtests
