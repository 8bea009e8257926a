// A small SVG plot of the demo: the part seen from above with scaled axes, the
// nominal points and each protocol's measured points and fitted circle, their
// deviations from nominal drawn magnified (the factor is written on the plot),
// a legend, and the figures. A protocol that failed is marked so.
#pragma once

#include "fit.h"

#include <string>
#include <vector>

struct PlotSeries {
    std::string name;   // "COSMOS", "GEOPAK"
    std::string colour; // SVG colour
    std::vector<Vec3> measured;
    std::optional<CircleFit> circle;
    bool failed = false;  // the run did not get through
};

// Deviations from nominal are drawn this many times larger.
constexpr double kDeviationMagnification = 1000.0;

struct PlotScene {
    double width = 200, depth = 150;  // block outline, from (0, 0)
    Vec3 boreCentre{100, 75, 25};
    double boreDiameter = 40;
    std::vector<Vec3> nominal;
    std::vector<PlotSeries> series;
    std::vector<std::string> notes;  // text lines under the plot
};

std::string RenderSvg(const PlotScene& scene);
