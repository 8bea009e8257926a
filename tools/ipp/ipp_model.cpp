// Tools, parameter blocks and the part transformation (see ipp_model.h).
#include "ipp_model.h"

#include <cmath>
#include <sstream>

namespace ipp {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

const std::vector<std::string>& ParamBlock::Names() {
    static const std::vector<std::string> names = {
        "GoToPar.Speed", "GoToPar.Accel", "PtMeasPar.Speed", "PtMeasPar.Accel",
        "PtMeasPar.Approach", "PtMeasPar.Search", "PtMeasPar.Retract",
    };
    return names;
}

ParamBlock ParamBlock::Defaults() {
    // Limits of a typical bridge CMM; Retract below zero means "back to the
    // approach point".
    return ParamBlock{{{1, 500, 100, 100}, {1, 1000, 200, 200}, {0.1, 50, 5, 5}, {1, 500, 100, 100},
                       {0, 50, 2, 2}, {0.1, 100, 10, 10}, {-1, 50, 2, 2}}};
}

Param* ParamBlock::Find(const std::string& name) {
    const std::vector<std::string>& names = Names();
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
        if (names[i] == name) return &values[i];
    }
    return nullptr;
}

void ParamBlock::ResetActs() {
    for (Param& p : values) p.act = p.def;
}

ToolTable::ToolTable() {
    m_tools.push_back(Tool{"RefTool", 0, false, 0, 0, ParamBlock::Defaults()});
    m_tools.push_back(Tool{"NoTool", 0, false, 0, 0, ParamBlock::Defaults()});
    m_tools.push_back(Tool{"Probe1", 2, false, 0, 0, ParamBlock::Defaults()});
}

bool ToolTable::Load(const std::string& text, std::string& error) {
    std::vector<Tool> tools(m_tools.begin(), m_tools.begin() + 2);
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty()) continue;
        auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(number) + ": " + what;
            return false;
        };
        if (w.size() != 2 && w.size() != 4) return fail("expected NAME DIAMETER [A B]");
        Tool tool;
        tool.name = w[0];
        for (char c : tool.name) {
            if (c < 33 || c > 126 || c == '"') return fail("a tool name is printable, without quotes");
        }
        std::vector<double> numbers;
        for (std::size_t i = 1; i < w.size(); ++i) {
            char* end = nullptr;
            double v = std::strtod(w[i].c_str(), &end);
            if (*end != '\0' || !std::isfinite(v)) return fail("\"" + w[i] + "\" is not a number");
            numbers.push_back(v);
        }
        if (numbers[0] < 0) return fail("a diameter is not negative");
        tool.diameter = numbers[0];
        if (numbers.size() == 3) tool.hasAngles = true, tool.a = numbers[1], tool.b = numbers[2];
        bool duplicate = false;
        for (const Tool& t : tools) duplicate = duplicate || t.name == tool.name;
        if (duplicate || tool.name == "BaseTool" || tool.name == "UnDefTool")
            return fail("tool \"" + tool.name + "\" is reserved or given twice");
        tools.push_back(tool);
    }
    m_tools = std::move(tools);
    return true;
}

Tool* ToolTable::Find(const std::string& name) {
    return const_cast<Tool*>(static_cast<const ToolTable*>(this)->Find(name));
}

const Tool* ToolTable::Find(const std::string& name) const {
    for (const Tool& t : m_tools) {
        if (t.name == name) return &t;
    }
    return nullptr;
}

void CsyTransform::Set(const Vec3& origin, double theta, double psi, double phi) {
    m_origin = origin;
    m_theta = theta;
    m_psi = psi;
    m_phi = phi;
    const double c1 = std::cos(theta * kPi / 180), s1 = std::sin(theta * kPi / 180);
    const double c2 = std::cos(psi * kPi / 180), s2 = std::sin(psi * kPi / 180);
    const double c3 = std::cos(phi * kPi / 180), s3 = std::sin(phi * kPi / 180);
    m_rows = {Vec3{c2 * c3 - c1 * s2 * s3, s2 * c3 + c1 * c2 * s3, s1 * s3},
              Vec3{-c2 * s3 - c1 * s2 * c3, -s2 * s3 + c1 * c2 * c3, s1 * c3},
              Vec3{s1 * s2, -s1 * c2, c1}};
}

Vec3 CsyTransform::DirectionToPart(const Vec3& v) const {
    Vec3 out{};
    for (int r = 0; r < 3; ++r) out[r] = m_rows[r][0] * v[0] + m_rows[r][1] * v[1] + m_rows[r][2] * v[2];
    return out;
}

Vec3 CsyTransform::DirectionToMachine(const Vec3& v) const {
    Vec3 out{};
    for (int c = 0; c < 3; ++c) out[c] = m_rows[0][c] * v[0] + m_rows[1][c] * v[1] + m_rows[2][c] * v[2];
    return out;
}

Vec3 CsyTransform::ToPart(const Vec3& p) const {
    return DirectionToPart({p[0] - m_origin[0], p[1] - m_origin[1], p[2] - m_origin[2]});
}

Vec3 CsyTransform::ToMachine(const Vec3& p) const {
    Vec3 d = DirectionToMachine(p);
    return {d[0] + m_origin[0], d[1] + m_origin[1], d[2] + m_origin[2]};
}

}  // namespace ipp
