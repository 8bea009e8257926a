// COSMOS answers whose point values are not finite numbers: no point may be
// built from them, the debugger output names the value, and the parameter
// file sent next never carries it.
#include "cosmos_fixture.h"

namespace {

class AnswerNumbers : public CosmosTest {};

TEST_F(AnswerNumbers, AValueThatIsNotAFiniteNumberReportsNoPointAndIsNamed) {
    ConnectAndStart();
    std::mutex lock;
    std::string debug;
    plat::SetDebugOutputHook([&](const std::string& text) {
        std::lock_guard<std::mutex> guard(lock);
        debug += text;
    });
    const struct {
        const char* line;
        int result;
    } cases[] = {
        {"ActualX=nan", 3}, {"ActualY=inf", 3}, {"ActualZ=abc", 3}, {"ActualC=-1e999", 3}, {"ActualB=", 3},
        {"ActualQ=abc", 0},  // not a value a point is built from
        {"ActualA=12.5mm", 0},  // a number, as "%lf" reads it
    };
    for (const auto& c : cases) {
        const std::string answer =
            std::string("Error=0\nActualX=1\nActualY=2\nActualZ=3\nActualA=0\nActualB=0\nActualC=0\n") + c.line + "\n";
        cosmos.SetResponder([answer](const CosmosCommand&) { return std::optional<std::string>(answer); });
        const size_t before = Reports().size();
        {
            std::lock_guard<std::mutex> guard(lock);
            debug.clear();
        }
        EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE) << c.line;
        EXPECT_EQ(Reports().size() - before, c.result == 0 ? 2u : 0u) << c.line;
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(debug.find(c.line) != std::string::npos, c.result != 0) << c.line << "\n" << debug;
    }
    plat::SetDebugOutputHook(nullptr);
    // What was not a number went out again as a number.
    const std::string last = cosmos.Snapshot().commands.back().bytes;
    EXPECT_EQ(last.find("nan"), std::string::npos);
    EXPECT_EQ(last.find("inf"), std::string::npos);
}

}  // namespace
