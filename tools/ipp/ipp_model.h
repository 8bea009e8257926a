// What an I++ DME 1.4 server keeps for its client apart from the machine:
// the tools with their parameter blocks (Min/Max/Act/Def), and the part
// coordinate system as a transformation of machine coordinates.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ipp {

using Vec3 = std::array<double, 3>;

struct Param {
    double min, max, act, def;
};

// GoToPar.Speed, GoToPar.Accel, PtMeasPar.Speed, PtMeasPar.Accel,
// PtMeasPar.Approach, PtMeasPar.Search, PtMeasPar.Retract.
struct ParamBlock {
    static const std::vector<std::string>& Names();  // "GoToPar.Speed", ...
    static ParamBlock Defaults();
    Param* Find(const std::string& dottedName);  // "PtMeasPar.Speed"
    void ResetActs();
    std::vector<Param> values;  // in the order of Names()
};

struct Tool {
    std::string name;
    double diameter = 0;
    bool hasAngles = false;  // PH9/PH10 head: A and B indexed on change
    double a = 0, b = 0;
    ParamBlock params = ParamBlock::Defaults();
};

// The tool collection: RefTool and NoTool always, then the probes of a tool
// file. File lines: NAME DIAMETER [A B]; "#" starts a comment.
class ToolTable {
public:
    ToolTable();  // RefTool, NoTool and "Probe1" of diameter 2
    // false with "line N: ..." when the text is not a tool list.
    bool Load(const std::string& text, std::string& error);
    Tool* Find(const std::string& name);
    const Tool* Find(const std::string& name) const;
    const std::vector<Tool>& All() const { return m_tools; }

private:
    std::vector<Tool> m_tools;
};

// x_part = M (x_machine - origin), M from z-x-z Euler angles (degrees).
class CsyTransform {
public:
    void Set(const Vec3& origin, double theta, double psi, double phi);
    Vec3 ToPart(const Vec3& machine) const;
    Vec3 ToMachine(const Vec3& part) const;
    Vec3 DirectionToPart(const Vec3& machine) const;
    Vec3 DirectionToMachine(const Vec3& part) const;
    const Vec3& Origin() const { return m_origin; }
    std::array<double, 3> Angles() const { return {m_theta, m_psi, m_phi}; }

private:
    Vec3 m_origin{0, 0, 0};
    double m_theta = 0, m_psi = 0, m_phi = 0;
    std::array<Vec3, 3> m_rows{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
};

}  // namespace ipp
