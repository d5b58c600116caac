#pragma once

#include <cstddef>
#include <functional>
#include <vector>

// A vertex as the rasteriser would see it: window pixels and depth.
struct WindowPoint {
    double x, y, z;
};
using FeedbackPolygon = std::vector<WindowPoint>;

// Runs draw in GL feedback mode and returns every polygon it would have rasterised, in order.
// Fails the current test if the capture overflows.
std::vector<FeedbackPolygon> captureFeedback(const std::function<void()>& draw);

// drawCrystals under the program's camera and scene rotation, as a frame calls it.
void drawCrystalsUnderCamera();
// Window position of a world point under the same camera and the window's projection.
WindowPoint projectToWindow(double x, double y, double z);

// Polygons of one four-sided, one-stack cone, measured on this GL.
std::size_t polygonsPerCone();
// How many cones drawCrystals emits, counted under a projection wide enough that nothing is
// clipped. A zero-length cone (GLU draws nothing for it) does not count.
std::size_t drawnConeCount();

// All vertices of the polygons from first (a polygon index) to the end.
std::vector<WindowPoint> verticesFrom(const std::vector<FeedbackPolygon>& polygons, std::size_t first);
// Distance in pixels between two window points, depth ignored.
double pixelDistance(WindowPoint a, WindowPoint b);
// The vertex that lies farthest from `from` in the direction of `toward`, on screen.
WindowPoint extremeVertex(const std::vector<WindowPoint>& vertices, WindowPoint from, WindowPoint toward);
// Screen distance from point to the nearest vertex.
double nearestVertexDistance(const std::vector<WindowPoint>& vertices, WindowPoint point);
