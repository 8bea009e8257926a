// A small SVG plot of the demo: the part seen from above, the nominal points
// and each protocol's measured points and fitted circle, with the figures.
#pragma once

#include "fit.h"

#include <string>
#include <vector>

struct PlotSeries {
    std::string name;   // "COSMOS", "GEOPAK"
    std::string colour; // SVG colour
    std::vector<Vec3> measured;
    std::optional<CircleFit> circle;
};

struct PlotScene {
    double width = 200, depth = 150;  // block outline, from (0, 0)
    Vec3 boreCentre{100, 75, 25};
    double boreDiameter = 40;
    std::vector<Vec3> nominal;
    std::vector<PlotSeries> series;
    std::vector<std::string> notes;  // text lines under the plot
};

std::string RenderSvg(const PlotScene& scene);
