// SVG rendering of the demo plot. Millimetres map to pixels at a fixed scale,
// y pointing up as on the machine table. A measured point is drawn at its
// nearest nominal point plus its deviation magnified; a fitted circle at the
// true centre plus its offset magnified, with its radius error magnified.
#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kScale = 3.0, kMargin = 40.0, kTick = 50.0, kLine = 18.0;

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

struct Frame {
    double depth;
    double X(double x) const { return kMargin + x * kScale; }
    double Y(double y) const { return kMargin + (depth - y) * kScale; }
};

Vec3 Magnified(const Vec3& p, const std::vector<Vec3>& nominal) {
    if (nominal.empty()) return p;
    auto distance = [&](const Vec3& n) { return std::hypot(p[0] - n[0], p[1] - n[1]); };
    const Vec3& n = *std::min_element(nominal.begin(), nominal.end(),
                                      [&](const Vec3& a, const Vec3& b) { return distance(a) < distance(b); });
    const double m = kDeviationMagnification;
    return Vec3{n[0] + (p[0] - n[0]) * m, n[1] + (p[1] - n[1]) * m, n[2] + (p[2] - n[2]) * m};
}

std::string Line(double x1, double y1, double x2, double y2) {
    return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" + Num(y2) +
           "\" stroke=\"#333\"/>\n";
}

std::string Text(double x, double y, const std::string& text, const char* extra = "") {
    return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"" + extra + ">" + Escape(text) + "</text>\n";
}

// x along the bottom, y up the left side, a tick and its value every 50 mm.
std::string Axes(const PlotScene& s, const Frame& f) {
    std::string out = Line(f.X(0), f.Y(0) + 8, f.X(s.width), f.Y(0) + 8) + Line(f.X(0) - 8, f.Y(0), f.X(0) - 8, f.Y(s.depth));
    for (double x = 0; x <= s.width + 1e-9; x += kTick) {
        out += Line(f.X(x), f.Y(0) + 8, f.X(x), f.Y(0) + 13);
        out += Text(f.X(x), f.Y(0) + 26, Num(x).substr(0, Num(x).find('.')), " text-anchor=\"middle\"");
    }
    for (double y = 0; y <= s.depth + 1e-9; y += kTick) {
        out += Line(f.X(0) - 13, f.Y(y), f.X(0) - 8, f.Y(y));
        out += Text(f.X(0) - 16, f.Y(y) + 4, Num(y).substr(0, Num(y).find('.')), " text-anchor=\"end\"");
    }
    out += Text(f.X(s.width) + 14, f.Y(0) + 26, "X mm") + Text(f.X(0) - 16, f.Y(s.depth) - 8, "Y mm");
    return out;
}

}  // namespace

std::string RenderSvg(const PlotScene& s) {
    const Frame f{s.depth};
    const double w = s.width * kScale + 2 * kMargin + 30;  // room for the X axis's unit
    const double h = s.depth * kScale + 2 * kMargin + kLine * static_cast<double>(s.notes.size() + s.series.size() + 3);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Num(w) + "\" height=\"" + Num(h) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out += "<rect x=\"" + Num(f.X(0)) + "\" y=\"" + Num(f.Y(s.depth)) + "\" width=\"" + Num(s.width * kScale) +
           "\" height=\"" + Num(s.depth * kScale) + "\" fill=\"#eef\" stroke=\"#558\"/>\n";
    out += "<circle cx=\"" + Num(f.X(s.boreCentre[0])) + "\" cy=\"" + Num(f.Y(s.boreCentre[1])) + "\" r=\"" +
           Num(s.boreDiameter / 2 * kScale) + "\" fill=\"white\" stroke=\"#558\"/>\n";
    out += Axes(s, f);
    for (const Vec3& p : s.nominal) {
        out += "<circle cx=\"" + Num(f.X(p[0])) + "\" cy=\"" + Num(f.Y(p[1])) +
               "\" r=\"6\" fill=\"none\" stroke=\"black\"><title>nominal " + Num(p[0]) + ", " + Num(p[1]) + ", " +
               Num(p[2]) + "</title></circle>\n";
    }
    for (const PlotSeries& series : s.series) {
        for (const Vec3& p : series.measured) {
            const Vec3 drawn = Magnified(p, s.nominal);
            out += "<circle cx=\"" + Num(f.X(drawn[0])) + "\" cy=\"" + Num(f.Y(drawn[1])) + "\" r=\"3\" fill=\"" +
                   series.colour + "\"><title>" + Escape(series.name) + " " + Num(p[0]) + ", " + Num(p[1]) + ", " +
                   Num(p[2]) + "</title></circle>\n";
        }
        if (series.circle) {
            const double m = kDeviationMagnification;
            const double cx = s.boreCentre[0] + (series.circle->centre[0] - s.boreCentre[0]) * m;
            const double cy = s.boreCentre[1] + (series.circle->centre[1] - s.boreCentre[1]) * m;
            const double r = std::max(0.0, (s.boreDiameter + (series.circle->diameter - s.boreDiameter) * m) / 2);
            out += "<circle cx=\"" + Num(f.X(cx)) + "\" cy=\"" + Num(f.Y(cy)) +
                   "\" r=\"" + Num(r * kScale) + "\" fill=\"none\" stroke=\"" + series.colour +
                   "\" stroke-dasharray=\"6 4\"/>\n";
        }
    }
    double y = s.depth * kScale + 2 * kMargin + 4;
    char factor[96];
    std::snprintf(factor, sizeof factor, "deviations from nominal drawn %g times larger (1 um shows as %g mm)",
                  kDeviationMagnification, kDeviationMagnification / 1000.0);
    out += Text(kMargin, y, factor);
    y += kLine;
    out += "<circle cx=\"" + Num(kMargin + 5) + "\" cy=\"" + Num(y - 4) + "\" r=\"5\" fill=\"none\" stroke=\"black\"/>\n";
    out += Text(kMargin + 16, y, "nominal point");
    y += kLine;
    for (const PlotSeries& series : s.series) {
        out += "<circle cx=\"" + Num(kMargin + 5) + "\" cy=\"" + Num(y - 4) + "\" r=\"3\" fill=\"" + series.colour + "\"/>\n";
        const std::string what = series.failed ? ": FAILED - did not get through; what it measured is drawn"
                                               : ": filled dots measured, dashed the fitted circle";
        out += Text(kMargin + 16, y, series.name + what, (" fill=\"" + series.colour + "\"").c_str());
        y += kLine;
    }
    for (const std::string& note : s.notes) {
        out += Text(kMargin, y, note);
        y += kLine;
    }
    out += "</svg>\n";
    return out;
}
