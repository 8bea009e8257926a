// The demo's part and plan (nominal points, the script that measures them,
// sorting reported points to their nominal points) and its temporary world:
// a drive C: and virtual desktop under the system's temporary folder, set in
// this process and its children's environment, with cmmsim installed in it.
#pragma once

#include "fit.h"

#include <mutex>
#include <string>
#include <vector>

struct DemoPart {
    Vec3 boreCentre;     // at mid-depth
    double boreDiameter;
    double topZ;
    std::vector<Vec3> bore, top;            // nominal points
    std::vector<Vec3> boreDirs, topDirs;    // probing directions (into the material)
};

// The simulator's default part: a block 200 x 150 x 50 with its top face at
// z = 50 and a bore of diameter 40 through it at (100, 75).
DemoPart DefaultPart();
// Takes the true bore and top face from `cmmsim status` output (its "scene"
// list); false, leaving the part as it is, when they are not there.
bool ApplySceneTruth(const std::string& statusJson, DemoPart& part);
// connect, a move above the part, one transaction in which each point is
// probed and its position awaited, stop, disconnect.
std::string DemoScript(const DemoPart& part);
// For each nominal point, the first measured point within tolerance of it;
// nominal points without one are left out.
std::vector<Vec3> MatchToNominal(const std::vector<Vec3>& measured, const std::vector<Vec3>& nominal,
                                 double tolerance = 1.0);

class DemoTree {
public:
    explicit DemoTree(bool keep) : m_keep(keep) {}
    ~DemoTree() { Cleanup(); }
    DemoTree(const DemoTree&) = delete;
    DemoTree& operator=(const DemoTree&) = delete;

    bool Create(double timeScale, std::string& error);
    bool InstallSimulator(std::string& error);  // cmmsim next to cmmhost
    std::string SimulatorStatus();              // `cmmsim status` output
    // Shuts the simulator down and removes the tree (unless kept); once only,
    // from whichever thread gets there first.
    void Cleanup();
    const std::string& Root() const { return m_root; }

private:
    bool RunSim(const std::vector<std::string>& args, std::string& output);
    bool m_keep;
    std::string m_root, m_cmmsim;
    std::once_flag m_cleaned;
};
