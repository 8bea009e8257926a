// SVG rendering of the demo plot. Millimetres map to pixels at a fixed scale,
// y pointing up as on the machine table.
#include "svg_plot.h"

#include <cstdio>

namespace {

constexpr double kScale = 3.0, kMargin = 30.0;

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

}  // namespace

std::string RenderSvg(const PlotScene& s) {
    const Frame f{s.depth};
    const double w = s.width * kScale + 2 * kMargin;
    const double h = s.depth * kScale + 2 * kMargin + 18.0 * static_cast<double>(s.notes.size() + s.series.size() + 1);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      Num(w) + "\" height=\"" + Num(h) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out += "<rect x=\"" + Num(f.X(0)) + "\" y=\"" + Num(f.Y(s.depth)) + "\" width=\"" + Num(s.width * kScale) +
           "\" height=\"" + Num(s.depth * kScale) + "\" fill=\"#eef\" stroke=\"#558\"/>\n";
    out += "<circle cx=\"" + Num(f.X(s.boreCentre[0])) + "\" cy=\"" + Num(f.Y(s.boreCentre[1])) + "\" r=\"" +
           Num(s.boreDiameter / 2 * kScale) + "\" fill=\"white\" stroke=\"#558\"/>\n";
    for (const Vec3& p : s.nominal) {
        out += "<circle cx=\"" + Num(f.X(p[0])) + "\" cy=\"" + Num(f.Y(p[1])) +
               "\" r=\"6\" fill=\"none\" stroke=\"black\"><title>nominal " + Num(p[0]) + ", " + Num(p[1]) + ", " +
               Num(p[2]) + "</title></circle>\n";
    }
    for (const PlotSeries& series : s.series) {
        for (const Vec3& p : series.measured) {
            out += "<circle cx=\"" + Num(f.X(p[0])) + "\" cy=\"" + Num(f.Y(p[1])) + "\" r=\"3\" fill=\"" +
                   series.colour + "\"><title>" + Escape(series.name) + " " + Num(p[0]) + ", " + Num(p[1]) + ", " +
                   Num(p[2]) + "</title></circle>\n";
        }
        if (series.circle) {
            out += "<circle cx=\"" + Num(f.X(series.circle->centre[0])) + "\" cy=\"" + Num(f.Y(series.circle->centre[1])) +
                   "\" r=\"" + Num(series.circle->diameter / 2 * kScale) + "\" fill=\"none\" stroke=\"" + series.colour +
                   "\" stroke-dasharray=\"6 4\"/>\n";
        }
    }
    double y = s.depth * kScale + 2 * kMargin;
    for (const PlotSeries& series : s.series) {
        out += "<text x=\"" + Num(kMargin) + "\" y=\"" + Num(y) + "\" fill=\"" + series.colour + "\">" +
               Escape(series.name) + ": filled dots measured, dashed the fitted circle</text>\n";
        y += 18;
    }
    for (const std::string& note : s.notes) {
        out += "<text x=\"" + Num(kMargin) + "\" y=\"" + Num(y) + "\">" + Escape(note) + "</text>\n";
        y += 18;
    }
    out += "</svg>\n";
    return out;
}
