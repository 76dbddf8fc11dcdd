#include "sim/edid_eeprom.h"
#include "sim/ene_kb90xx.h"
#include "sim/ite_controller.h"
#include "sim/keyboard_matrix.h"
#include "sim/mec16xx.h"
#include "sim/npce_spi.h"
#include "sim/nuvoton_jtag.h"
#include "sim/target.h"

namespace sim {

std::vector<std::unique_ptr<Target>> makeTargets() {
    std::vector<std::unique_ptr<Target>> targets;
    targets.push_back(std::make_unique<EneKb90xx>());
    targets.push_back(std::make_unique<IteController>());
    targets.push_back(std::make_unique<Mec16xx>());
    targets.push_back(std::make_unique<EdidEeprom>());
    targets.push_back(std::make_unique<NpceSpi>());
    targets.push_back(std::make_unique<KeyboardMatrix>());
    targets.push_back(std::make_unique<NuvotonJtag>());
    return targets;
}

}  // namespace sim
