#include "sim/ene_kb90xx.h"
#include "sim/nuvoton_jtag.h"
#include "sim/target.h"

namespace sim {

std::vector<std::unique_ptr<Target>> makeTargets() {
    std::vector<std::unique_ptr<Target>> targets;
    targets.push_back(std::make_unique<EneKb90xx>());
    targets.push_back(std::make_unique<NuvotonJtag>());
    return targets;
}

}  // namespace sim
