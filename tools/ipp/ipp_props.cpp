// Properties of the tools: GetProp/GetPropE, SetProp, EnumProp and
// EnumAllProp over Name, AvrRadius and the GoToPar and PtMeasPar blocks
// (see ipp_engine.h).
#include "ipp_engine.h"

#include "ipp_errors.h"

namespace ipp {

namespace {

const char* const kSubValues[] = {"Max", "Min", "Act", "Def"};

double* SubValue(Param& p, const std::string& sub) {
    if (sub.empty() || sub == "Act") return &p.act;
    if (sub == "Min") return &p.min;
    if (sub == "Max") return &p.max;
    if (sub == "Def") return &p.def;
    return nullptr;
}

// "PtMeasPar.Speed.Max" -> the parameter and "Max".
Param* FindParam(Tool& tool, const std::string& rest, std::string& sub) {
    std::size_t first = rest.find('.');
    if (first == std::string::npos) return nullptr;
    std::size_t second = rest.find('.', first + 1);
    sub = second == std::string::npos ? "" : rest.substr(second + 1);
    return tool.params.Find(rest.substr(0, second));
}

std::string Pair(const std::string& name, const char* type) { return "\"" + name + "\", \"" + type + "\""; }

std::vector<std::string> Blocks() {
    std::vector<std::string> blocks;
    for (const std::string& name : ParamBlock::Names()) {
        std::string block = name.substr(0, name.find('.'));
        if (blocks.empty() || blocks.back() != block) blocks.push_back(block);
    }
    return blocks;
}

// The children of a property path below a tool ("", "PtMeasPar",
// "PtMeasPar.Speed"), recursively when all is set; empty for an unknown
// path.
std::vector<std::string> Children(const std::string& path, bool all) {
    std::vector<std::string> out;
    auto param = [&](const std::string& prefix, const std::string& name) {
        out.push_back(Pair(prefix + name, "Number"));
        for (const char* sub : kSubValues) {
            if (all) out.push_back(Pair(prefix + name + "." + sub, "Number"));
        }
    };
    if (path.empty()) {
        out.push_back(Pair("Name", "String"));
        out.push_back(Pair("AvrRadius", "Number"));
        for (const std::string& block : Blocks()) {
            if (!all) out.push_back(Pair(block, "Property"));
            for (const std::string& name : ParamBlock::Names()) {
                if (all && name.rfind(block + ".", 0) == 0) param(block + ".", name.substr(block.size() + 1));
            }
        }
        return out;
    }
    for (const std::string& name : ParamBlock::Names()) {
        if (name.rfind(path + ".", 0) == 0) param("", name.substr(path.size() + 1));
        if (name == path) {
            for (const char* sub : kSubValues) out.push_back(Pair(sub, "Number"));
        }
    }
    return out;
}

}  // namespace

Tool* Engine::PrefixTool(const std::string& name, std::string& rest, Reply& reply) {
    std::string prefix = name.substr(0, name.find('.'));
    rest = name.size() > prefix.size() ? name.substr(prefix.size() + 1) : "";
    if (prefix == "GoToPar" || prefix == "PtMeasPar") {
        rest = name;  // the DME's blocks are the active tool's
        prefix = "Tool";
    }
    if (prefix != "Tool" && prefix != "FoundTool") {
        reply.Error(510);
        return nullptr;
    }
    const std::string& which = prefix == "Tool" ? m_activeTool : m_foundTool;
    Tool* tool = m_tools.Find(which);
    if (!tool) reply.Error(1503);
    return tool;
}

void Engine::GetProp(const Command& c, Reply& reply, Lock&) {
    std::string line;
    for (const Arg& a : c.args) {
        if (a.kind != Arg::Kind::kProperty || !a.values.empty()) {
            reply.Error(509);
            return;
        }
        std::string rest, sub;
        Tool* tool = PrefixTool(a.text, rest, reply);
        if (!tool) return;
        std::string value;
        if (rest == "Name") {
            value = "\"" + tool->name + "\"";
        } else if (rest == "AvrRadius") {
            value = FormatNumber(tool->diameter / 2);
        } else if (Param* p = FindParam(*tool, rest, sub); p && SubValue(*p, sub)) {
            value = FormatNumber(*SubValue(*p, sub));
        } else {
            reply.Error(510);
            return;
        }
        line += (line.empty() ? "" : ", ") + a.text + "(" + value + ")";
    }
    if (line.empty()) {
        reply.Error(502);
        return;
    }
    reply.data.push_back(line);
}

void Engine::SetProp(const Command& c, Reply& reply, Lock&) {
    if (c.args.empty()) reply.Error(502);
    for (const Arg& a : c.args) {
        if (a.kind != Arg::Kind::kProperty || a.values.size() != 1) {
            reply.Error(509);
            return;
        }
        std::string rest, sub;
        Tool* tool = PrefixTool(a.text, rest, reply);
        if (!tool) return;
        Param* p = FindParam(*tool, rest, sub);
        if (!p || !SubValue(*p, sub)) {
            reply.Error(rest == "Name" || rest == "AvrRadius" ? 509 : 510);
            return;
        }
        if (!sub.empty() && sub != "Act") {
            reply.Error(509);  // only Act belongs to the client
            return;
        }
        const double wanted = a.values[0];
        p->act = std::min(std::max(wanted, p->min), p->max);
        if (p->act != wanted) reply.Error(504);
    }
}

void Engine::EnumProp(const Command& c, Reply& reply, Lock&) {
    if (c.args.size() != 1 || c.args[0].kind != Arg::Kind::kProperty || !c.args[0].values.empty()) {
        reply.Error(509);
        return;
    }
    std::string rest;
    if (!PrefixTool(c.args[0].text, rest, reply)) return;
    reply.data = Children(rest, c.method == "EnumAllProp");
    if (reply.data.empty()) reply.Error(510);
}

void Engine::EnumAllProp(const Command& c, Reply& reply, Lock& lock) { EnumProp(c, reply, lock); }

}  // namespace ipp
