// The methods of the normal queue: session, state, motion, tools and
// coordinate systems (see ipp_engine.h). Each runs with the engine's lock
// held; those that call the machine let it go for the call.
#include "ipp_engine.h"

#include "ipp_errors.h"

#include <cmath>

namespace ipp {

namespace {

const std::vector<std::string> kReportItems = {"X", "Y", "Z", "IJK", "R", "ER", "Q", "Tool.A", "Tool.B", "Tool.C"};

bool IsReportItem(const std::string& name) {
    for (const std::string& item : kReportItems) {
        if (item == name) return true;
    }
    return false;
}

double Norm(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// X(x), Y(y), Z(z) each at most once, plus IJK(i, j, k) where allowed.
struct Target {
    bool given[3] = {false, false, false};
    bool hasIjk = false;
    Vec3 xyz{}, ijk{};
};

int ReadTarget(const Command& c, bool ijkAllowed, Target& t) {
    if (c.args.empty()) return 502;
    for (const Arg& a : c.args) {
        if (a.kind != Arg::Kind::kProperty) return 509;
        int axis = a.text == "X" ? 0 : a.text == "Y" ? 1 : a.text == "Z" ? 2 : -1;
        if (axis >= 0 && a.values.size() == 1 && !t.given[axis]) {
            t.given[axis] = true;
            t.xyz[axis] = a.values[0];
        } else if (a.text == "IJK" && ijkAllowed && a.values.size() == 3 && !t.hasIjk) {
            t.hasIjk = true;
            t.ijk = {a.values[0], a.values[1], a.values[2]};
        } else if (a.text == "R" || a.text == "Tool.A" || a.text == "Tool.B" || a.text == "Tool.C") {
            return 506;
        } else {
            return 509;
        }
    }
    if (!t.given[0] && !t.given[1] && !t.given[2]) return 509;  // IJK alone
    return 0;
}

}  // namespace

bool Engine::NoArgs(const Command& c, Reply& reply) {
    if (!c.args.empty()) reply.Error(502);
    return c.args.empty();
}

void Engine::StartSession(const Command& c, Reply& reply, Lock& lock) {
    if (!NoArgs(c, reply)) return;
    if (m_session) {
        reply.Error(8);
        return;
    }
    lock.unlock();
    int error = m_machine.StartSession();
    Vec3 position = m_machine.Position();
    lock.lock();
    if (error) {
        reply.Error(error);
        return;
    }
    m_session = true;
    m_errorState = false;
    m_activeErrors.clear();
    m_ptMeasReport = {"X", "Y", "Z"};
    StopDaemons();
    m_position = position;
}

void Engine::EndSession(const Command&, Reply&, Lock& lock) {
    StopDaemons();
    if (!m_session) return;
    m_session = false;
    lock.unlock();
    m_machine.EndSession();
    lock.lock();
}

void Engine::StopDaemon(const Command& c, Reply& reply, Lock&) {
    if (c.args.size() != 1 || c.args[0].kind != Arg::Kind::kETag) {
        reply.Error(509);
        return;
    }
    if (m_daemons.erase(c.args[0].text) == 0) reply.Error(513);
}

void Engine::StopAllDaemons(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    if (m_daemons.empty()) reply.Error(512);
    StopDaemons();
}

void Engine::ClearAllErrors(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    m_errorState = false;
    m_activeErrors.clear();
}

void Engine::GetErrorInfo(const Command& c, Reply& reply, Lock&) {
    const ErrorInfo* e = nullptr;
    if (c.args.size() == 1 && c.args[0].kind == Arg::Kind::kNumber) e = FindError(static_cast<int>(c.args[0].number));
    if (!e || c.args[0].number != std::floor(c.args[0].number)) {
        reply.Error(509);
        return;
    }
    char text[200];
    std::snprintf(text, sizeof text, "\"%04d: %s (severity %d)\"", e->number, e->text, e->severity);
    reply.data.push_back(text);
}

void Engine::GetErrStatus(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    reply.data.push_back(m_errorState ? "ErrStatus(1)" : "ErrStatus(0)");
}

void Engine::GetXtdErrStatus(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    reply.data.push_back(m_homed ? "IsHomed(1)" : "IsHomed(0)");
    reply.data.push_back(m_userEnabled ? "IsUserEnabled(1)" : "IsUserEnabled(0)");
    for (const std::string& e : m_activeErrors) reply.data.push_back(e);
}

void Engine::GetDMEVersion(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    reply.data.push_back("DMEVersion(\"1.4\")");
}

void Engine::GetMachineClass(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    reply.data.push_back("GetMachineClass(CartCMM)");
}

// The vendor software references the machine when it starts; homing here
// only records that the client asked for it.
void Engine::Home(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    m_homed = true;
    m_userEnabled = false;
}

void Engine::IsHomed(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    reply.data.push_back(m_homed ? "IsHomed(1)" : "IsHomed(0)");
}

void Engine::EnableUser(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    m_userEnabled = true;
}

void Engine::DisableUser(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    m_userEnabled = false;
}

void Engine::IsUserEnabled(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    reply.data.push_back(m_userEnabled ? "IsUserEnabled(1)" : "IsUserEnabled(0)");
}

void Engine::OnPtMeasReport(const Command& c, Reply& reply, Lock&) {
    std::vector<std::string> items;
    for (const Arg& a : c.args) {
        if (a.kind != Arg::Kind::kProperty || !a.values.empty() || !IsReportItem(a.text)) {
            reply.Error(510);
            return;
        }
        items.push_back(a.text);
    }
    if (items.empty()) {
        reply.Error(502);
        return;
    }
    m_ptMeasReport = items;
}

Vec3 Engine::CurrentPart() const { return m_partCsy ? m_csy.ToPart(m_position) : m_position; }

std::string Engine::ItemText(const std::string& item, const Vec3& p, const Vec3& ijk) const {
    const Tool* tool = m_tools.Find(m_activeTool);
    const double radius = tool ? tool->diameter / 2 : 0;
    if (item == "X") return "X(" + FormatNumber(p[0]) + ")";
    if (item == "Y") return "Y(" + FormatNumber(p[1]) + ")";
    if (item == "Z") return "Z(" + FormatNumber(p[2]) + ")";
    if (item == "IJK")
        return "IJK(" + FormatNumber(ijk[0]) + ", " + FormatNumber(ijk[1]) + ", " + FormatNumber(ijk[2]) + ")";
    if (item == "R" || item == "ER") return item + "(" + FormatNumber(radius) + ")";
    if (item == "Q") return "Q(0)";
    double angle = 0;
    if (tool && item == "Tool.A") angle = tool->a;
    if (tool && item == "Tool.B") angle = tool->b;
    return item + "(" + FormatNumber(angle) + ")";
}

void Engine::Get(const Command& c, Reply& reply, Lock&) {
    std::string line;
    for (const Arg& a : c.args) {
        bool ok = a.kind == Arg::Kind::kProperty && a.values.empty() &&
                  (a.text == "X" || a.text == "Y" || a.text == "Z" || a.text == "Tool.A" || a.text == "Tool.B" ||
                   a.text == "Tool.C");
        if (!ok) {
            reply.Error(a.kind == Arg::Kind::kProperty ? 510 : 509);
            return;
        }
        line += (line.empty() ? "" : ", ") + ItemText(a.text, CurrentPart(), {});
    }
    if (line.empty()) {
        reply.Error(502);
        return;
    }
    reply.data.push_back(line);
}

bool Engine::MotionAllowed(Reply& reply) const {
    if (!m_homed) reply.Error(508);
    else if (!m_machine.CanMove()) reply.Error(501);
    return reply.errors.empty();
}

void Engine::GoTo(const Command& c, Reply& reply, Lock& lock) {
    Target t;
    if (int error = ReadTarget(c, false, t)) {
        reply.Error(error);
        return;
    }
    if (!MotionAllowed(reply)) return;
    Vec3 part = CurrentPart();
    for (int i = 0; i < 3; ++i) {
        if (t.given[i]) part[i] = t.xyz[i];
    }
    const Vec3 target = m_partCsy ? m_csy.ToMachine(part) : part;
    m_userEnabled = false;
    lock.unlock();
    int error = m_machine.MoveTo(target);
    lock.lock();
    if (error) reply.Error(error);
    else m_position = target;
}

void Engine::PtMeas(const Command& c, Reply& reply, Lock& lock) {
    Target t;
    if (int error = ReadTarget(c, true, t)) {
        reply.Error(error);
        return;
    }
    if (!MotionAllowed(reply)) return;
    if (m_activeTool == "NoTool" || m_activeTool == "UnDefTool") {
        reply.Error(m_activeTool == "NoTool" ? 2002 : 1503);
        return;
    }
    const Vec3 current = CurrentPart();
    Vec3 nominal = current;
    for (int i = 0; i < 3; ++i) {
        if (t.given[i]) nominal[i] = t.xyz[i];
    }
    // Out of the material: as given, or from the point back to where the
    // probe stands.
    Vec3 n = t.hasIjk ? t.ijk : Vec3{current[0] - nominal[0], current[1] - nominal[1], current[2] - nominal[2]};
    const double norm = Norm(n);
    if (norm < 1e-9) {
        reply.Error(1010);
        return;
    }
    for (double& v : n) v /= norm;
    const Vec3 machineNominal = m_partCsy ? m_csy.ToMachine(nominal) : nominal;
    Vec3 travel = m_partCsy ? m_csy.DirectionToMachine(n) : n;
    for (double& v : travel) v = -v;
    m_userEnabled = false;
    lock.unlock();
    Vec3 measured{};
    int error = m_machine.Measure(machineNominal, travel, measured);
    lock.lock();
    if (error) {
        reply.Error(error);
        return;
    }
    m_position = measured;
    const Vec3 reported = CurrentPart();
    std::string line;
    for (const std::string& item : m_ptMeasReport) line += (line.empty() ? "" : ", ") + ItemText(item, reported, n);
    reply.data.push_back(line);
}

void Engine::EnumTools(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    for (const Tool& t : m_tools.All()) reply.data.push_back("\"" + t.name + "\"");
}

Tool* Engine::ToolArgument(const Command& c, Reply& reply) {
    if (c.args.size() != 1 || c.args[0].kind != Arg::Kind::kString) {
        reply.Error(509);
        return nullptr;
    }
    Tool* tool = m_tools.Find(c.args[0].text);
    if (!tool) reply.Error(1502);
    return tool;
}

void Engine::ChangeTool(const Command& c, Reply& reply, Lock& lock) {
    Tool* tool = ToolArgument(c, reply);
    if (!tool) return;
    const Tool* old = m_tools.Find(m_activeTool);
    const bool rotate = tool->hasAngles && (!old || old->a != tool->a || old->b != tool->b || !old->hasAngles);
    const double a = tool->a, b = tool->b, diameter = tool->diameter;
    m_userEnabled = false;
    if (rotate) {
        lock.unlock();
        int error = m_machine.HasIndexableHead() ? m_machine.SetHead(a, b, diameter) : 0;
        lock.lock();
        if (error) {
            reply.Error(error);
            return;
        }
    }
    SetTool(c, reply, lock);
}

void Engine::SetTool(const Command& c, Reply& reply, Lock&) {
    Tool* tool = ToolArgument(c, reply);
    if (!tool) return;
    tool->params.ResetActs();
    m_activeTool = tool->name;
}

void Engine::FindTool(const Command& c, Reply& reply, Lock&) {
    Tool* tool = ToolArgument(c, reply);
    m_foundTool = tool ? tool->name : "UnDefTool";
}

void Engine::GetChangeToolAction(const Command& c, Reply& reply, Lock&) {
    Tool* tool = ToolArgument(c, reply);
    if (!tool) return;
    const Tool* old = m_tools.Find(m_activeTool);
    const bool rotate = tool->hasAngles && m_machine.HasIndexableHead() &&
                        (!old || !old->hasAngles || old->a != tool->a || old->b != tool->b);
    reply.data.push_back(std::string("ChangeToolAction(") + (rotate ? "Rotate" : "Switch") + ", X(0), Y(0), Z(0))");
}

void Engine::SetCoordSystem(const Command& c, Reply& reply, Lock&) {
    if (c.args.size() != 1 || c.args[0].kind != Arg::Kind::kName) {
        reply.Error(509);
        return;
    }
    const std::string& csy = c.args[0].text;
    // One arm, not moveable: those systems are the machine's.
    if (csy == "MachineCsy" || csy == "MoveableMachineCsy" || csy == "MultipleArmCsy") m_partCsy = false;
    else if (csy == "PartCsy") m_partCsy = true;
    else reply.Error(509);
}

void Engine::GetCoordSystem(const Command& c, Reply& reply, Lock&) {
    if (!NoArgs(c, reply)) return;
    reply.data.push_back(m_partCsy ? "CoordSystem(PartCsy)" : "CoordSystem(MachineCsy)");
}

void Engine::SetCsyTransformation(const Command& c, Reply& reply, Lock&) {
    bool ok = c.args.size() == 7 && c.args[0].kind == Arg::Kind::kName;
    for (std::size_t i = 1; ok && i < 7; ++i) ok = c.args[i].kind == Arg::Kind::kNumber;
    if (!ok) {
        reply.Error(509);
        return;
    }
    if (c.args[0].text != "PartCsy") {
        reply.Error(506);
        return;
    }
    const double theta = c.args[4].number;
    if (theta < 0 || theta > 180) {
        reply.Error(1007);
        return;
    }
    auto wrap = [](double angle) { return std::fmod(std::fmod(angle, 360) + 360, 360); };
    m_csy.Set({c.args[1].number, c.args[2].number, c.args[3].number}, theta, wrap(c.args[5].number),
              wrap(c.args[6].number));
}

void Engine::GetCsyTransformation(const Command& c, Reply& reply, Lock&) {
    if (c.args.size() != 1 || c.args[0].kind != Arg::Kind::kName) {
        reply.Error(509);
        return;
    }
    if (c.args[0].text != "PartCsy") {
        reply.Error(506);
        return;
    }
    const Vec3& o = m_csy.Origin();
    const auto angles = m_csy.Angles();
    reply.data.push_back("GetCsyTransformation(" + FormatNumber(o[0]) + ", " + FormatNumber(o[1]) + ", " +
                         FormatNumber(o[2]) + ", " + FormatNumber(angles[0]) + ", " + FormatNumber(angles[1]) + ", " +
                         FormatNumber(angles[2]) + ")");
}

void Engine::Unsupported(const Command&, Reply& reply, Lock&) { reply.Error(501); }

// A fast-queue method sent with a normal tag.
void Engine::Misplaced(const Command&, Reply& reply, Lock&) { reply.Error(508); }

}  // namespace ipp
