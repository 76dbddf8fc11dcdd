#include "sim/sim_jig.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/jig_impl.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kJigStateFile = "jig.txt";

bool readFile(const fs::path& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Written beside the file and renamed over it, so that a run cut short never
// leaves half a file behind.
bool writeFileAtomically(const fs::path& path, const std::string& bytes, std::string& error) {
    const fs::path tmp = path.string() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            error = "cannot write " + tmp.string();
            return false;
        }
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) {
        error = "cannot replace " + path.string() + ": " + ec.message();
        return false;
    }
    return true;
}

std::vector<uint8_t> imageWithIdentity(size_t size, const std::string& identity) {
    std::vector<uint8_t> image(size, 0xFF);
    const std::string tag = std::string(kIdentityMarker) + identity;
    constexpr size_t kAt = 0x100;
    if (!identity.empty() && kAt + tag.size() + 1 <= size) {
        std::copy(tag.begin(), tag.end(), image.begin() + kAt);
        image[kAt + tag.size()] = 0;
    }
    return image;
}

std::string withoutLineEnd(std::string answer) {
    if (answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "\r\n") == 0)
        answer.resize(answer.size() - 2);
    return answer;
}

}  // namespace

// ---------------------------------------------------------------- Impl

SimJig::Impl::Impl(Options options, std::vector<std::unique_ptr<Target>> ts)
    : opts(std::move(options)), targets(std::move(ts)), link(opts.realSpeed) {
    for (auto& t : targets) {
        if (auto* e = dynamic_cast<EneKb90xx*>(t.get())) ene = e;
        if (auto* e = dynamic_cast<EdidEeprom*>(t.get())) edid = e;
        if (auto* n = dynamic_cast<NpceSpi*>(t.get())) npce = n;
        if (auto* k = dynamic_cast<KeyboardMatrix*>(t.get())) keyboard = k;
    }
    running_.family = opts.generation == 2 ? opts.family : Family::None;
    running_.answer = opts.identity
                          ? *opts.identity
                          : defaultIdentity(opts.generation, opts.jig3Old, opts.family) + "\r\n";
    boot2Flash = imageWithIdentity(kJig2BootFlashSize, withoutLineEnd(running_.answer));
    boot3Image.assign(kJig3ImageSize, 0xFF);
    link.setResetPolicy(opts.resetDelay);
    link.setTechnician([this](uint8_t b, uint32_t baud) { return technicianWatches(b, baud); });
    link.setPressHook([this] {
        if (opts.silent) return;
        boot2Phase = Boot2Phase::Sync;
        stage = opts.generation == 2 ? Stage::Jig2Bootloader : Stage::Jig3Bootloader;
    });
}

void SimJig::Impl::start() {
    thread = std::thread([this] { run(); });
}

void SimJig::Impl::stop() {
    link.powerOff();
    if (thread.joinable()) thread.join();
}

RunningFirmware SimJig::Impl::running() const {
    std::lock_guard lk(m);
    return running_;
}

void SimJig::Impl::setRunning(RunningFirmware fw) {
    std::lock_guard lk(m);
    running_ = std::move(fw);
}

bool SimJig::Impl::loadState(std::string& error) {
    const fs::path dir(opts.stateDir);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir)) {
        error = "sim: state=" + opts.stateDir + " is not a folder that can be made";
        return false;
    }
    const fs::path jigFile = dir / kJigStateFile;
    if (fs::exists(jigFile)) {
        std::vector<uint8_t> bytes;
        if (!readFile(jigFile, bytes)) {
            error = "sim: cannot read " + jigFile.string();
            return false;
        }
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        std::string line;
        int generation = 0;
        bool haveIdentity = false;
        RunningFirmware fw;
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            const auto eq = line.find('=');
            const std::string key = line.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
            bool ok = eq != std::string::npos;
            if (ok && key == "generation") {
                ok = value == "2" || value == "3";
                generation = ok ? value[0] - '0' : 0;
            } else if (ok && key == "identity") {
                ok = unescapeBytes(value, fw.answer);
                haveIdentity = ok;
            } else if (ok && key == "family") {
                fw.family = Family::None;
                for (Family f : {Family::V41, Family::V42, Family::Ite, Family::Npce})
                    if (value == familyText(f)) fw.family = f;
                ok = fw.family != Family::None || value == "none";
            } else {
                ok = false;
            }
            if (!ok) {
                error = "sim: " + jigFile.string() + ": bad line '" + line + "'";
                return false;
            }
        }
        if (generation == 0 || !haveIdentity) {
            error = "sim: " + jigFile.string() + " lacks its generation or identity";
            return false;
        }
        if (generation != opts.generation) {
            error = "sim: state=" + opts.stateDir + " belongs to a " +
                    (generation == 2 ? "second" : "third") + "-generation JIG, not this one";
            return false;
        }
        if (generation == 3) fw.family = Family::None;
        running_ = fw;
    }
    for (auto& t : targets) {
        const fs::path file = dir / t->stateFileName();
        if (!fs::exists(file)) continue;
        std::vector<uint8_t> bytes;
        std::string why;
        if (!readFile(file, bytes))
            why = "cannot be read";
        else if (!t->loadState(bytes, why) && why.empty())
            why = "is not valid";
        if (!why.empty()) {
            error = "sim: " + file.string() + " " + why;
            return false;
        }
    }
    return true;
}

void SimJig::Impl::saveState() {
    if (opts.stateDir.empty()) return;
    std::lock_guard saving(saveMutex);
    const fs::path dir(opts.stateDir);
    std::string error;
    const RunningFirmware fw = running();
    std::string jig = "generation=" + std::to_string(opts.generation) + "\n";
    if (opts.generation == 2)
        jig += std::string("family=") +
               (fw.family == Family::None ? "none" : familyText(fw.family)) + "\n";
    jig += "identity=" + escapeBytes(fw.answer) + "\n";
    bool ok = writeFileAtomically(dir / kJigStateFile, jig, error);
    for (auto& t : targets) {
        if (!ok) break;
        const auto bytes = t->saveState();
        ok = writeFileAtomically(dir / t->stateFileName(), std::string(bytes.begin(), bytes.end()),
                                 error);
    }
    std::lock_guard lk(m);
    stateError = ok ? std::string() : error;
}

// ---------------------------------------------------------------- SimJig

SimJig::SimJig(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SimJig::~SimJig() {
    impl_->stop();
    impl_->saveState();
    if (impl_->wireLog) std::fclose(impl_->wireLog);
}

void SimJig::Impl::logHostBytes(const uint8_t* data, size_t n) {
    if (!wireLog || n == 0) return;
    std::lock_guard lk(wireLogMutex);
    // On disk at once: a test reads it while the program still runs, or after
    // the program was ended by a signal.
    std::fwrite(data, 1, n, wireLog);
    std::fflush(wireLog);
}

std::vector<uint8_t> SimJig::takeHostBytes() { return impl_->link.takeHostBytes(); }
std::string SimJig::identity() const { return withoutLineEnd(impl_->running().answer); }
std::string SimJig::identityAnswer() const { return impl_->running().answer; }
int SimJig::generation() const { return impl_->opts.generation; }
SimJig::Stage SimJig::stage() const { return impl_->stage.load(); }
uint32_t SimJig::jigBaud() const { return impl_->link.jigBaud(); }
int SimJig::resetPresses() const { return impl_->link.resetPresses(); }
void SimJig::pressResetButton() { impl_->link.pressResetNow(); }

std::vector<uint8_t> SimJig::eneFlash() const { return impl_->ene->flash(); }

bool SimJig::setEneFlash(const std::vector<uint8_t>& bytes) {
    if (!impl_->ene->setFlash(bytes)) return false;
    impl_->saveState();
    return true;
}

std::vector<uint8_t> SimJig::edidEeprom() const { return impl_->edid->memory(); }

bool SimJig::setEdidEeprom(const std::vector<uint8_t>& bytes) {
    if (!impl_->edid->setMemory(bytes)) return false;
    impl_->saveState();
    return true;
}

std::vector<uint8_t> SimJig::npceFlash() const { return impl_->npce->flash(); }

bool SimJig::setNpceFlash(const std::vector<uint8_t>& bytes) {
    if (!impl_->npce->setFlash(bytes)) return false;
    impl_->saveState();
    return true;
}

void SimJig::queueKeyScan(const std::vector<std::pair<int, int>>& pairs) {
    impl_->keyboard->queuePairs(pairs);
}

void SimJig::queueKeyScanBytes(const std::vector<uint8_t>& answer) {
    impl_->keyboard->queueRaw(answer);
}

uint64_t SimJig::keyScans() const { return impl_->keyboard->scans(); }

std::vector<uint8_t> SimJig::targetMemory(const std::string& target) const {
    for (const auto& t : impl_->targets)
        if (target == t->name()) return t->saveState();
    return {};
}

bool SimJig::setTargetMemory(const std::string& target, const std::vector<uint8_t>& bytes) {
    for (const auto& t : impl_->targets) {
        if (target != t->name()) continue;
        std::string error;
        if (!t->loadState(bytes, error)) return false;
        impl_->saveState();
        return true;
    }
    return false;
}

std::array<uint8_t, 256> SimJig::cpldRegisters() const { return impl_->cpld_.registers(); }
bool SimJig::cpldWireMode() const { return impl_->cpld_.wireMode(); }

std::vector<uint8_t> SimJig::jig2BootFlash() const {
    std::lock_guard lk(impl_->m);
    return impl_->boot2Flash;
}

std::vector<uint8_t> SimJig::jig3BootImage() const {
    std::lock_guard lk(impl_->m);
    return {impl_->boot3Image.begin(),
            impl_->boot3Image.begin() + static_cast<std::ptrdiff_t>(impl_->boot3Length)};
}

std::string SimJig::stateError() const {
    std::lock_guard lk(impl_->m);
    return impl_->stateError;
}

// ---------------------------------------------------------------- SimDevice

SimDevice::SimDevice() = default;
SimDevice::~SimDevice() = default;

std::unique_ptr<SimDevice> SimDevice::create(const std::string& options, std::string& error) {
    Options opts;
    auto targets = makeTargets();
    if (!parseOptions(options, opts, targets, error)) return nullptr;
    auto impl = std::make_unique<SimJig::Impl>(std::move(opts), std::move(targets));
    if (!impl->opts.stateDir.empty() && !impl->loadState(error)) return nullptr;
    if (!impl->opts.wireLog.empty()) {
        impl->wireLog = std::fopen(impl->opts.wireLog.c_str(), "wb");
        if (!impl->wireLog) {
            error = "sim: wirelog=" + impl->opts.wireLog + " cannot be written";
            return nullptr;
        }
    }
    std::unique_ptr<SimDevice> device(new SimDevice());
    device->jig_.reset(new SimJig(std::move(impl)));
    device->jig_->impl_->start();
    return device;
}

bool SimDevice::open() {
    if (jig_->impl_->opts.noOpen) return false;
    return jig_->impl_->link.open();
}

void SimDevice::close() { jig_->impl_->link.close(); }
bool SimDevice::isOpen() const { return jig_->impl_->link.isOpen(); }

void SimDevice::resetDevice() {
    if (isOpen()) jig_->impl_->link.resetDevice();
}

void SimDevice::setBaudRate(uint32_t baud) {
    if (isOpen()) jig_->impl_->link.setBaudRate(baud);
}

void SimDevice::setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) {
    if (isOpen()) jig_->impl_->link.setLineFormat(bits == 8 && stopBits == 0 && parity == 0);
}

void SimDevice::setLatencyTimer(uint8_t ms) {
    if (isOpen()) jig_->impl_->link.setLatencyTimer(ms);
}

void SimDevice::setTimeouts(uint32_t readMs, uint32_t writeMs) {
    if (isOpen()) jig_->impl_->link.setTimeouts(readMs, writeMs);
}

uint32_t SimDevice::driverVersion() const { return isOpen() ? jig_->impl_->opts.driverVersion : 0; }
size_t SimDevice::write(const uint8_t* data, size_t n) {
    const size_t taken = jig_->impl_->link.write(data, n);
    jig_->impl_->logHostBytes(data, taken);
    return taken;
}
size_t SimDevice::read(uint8_t* data, size_t n) { return jig_->impl_->link.read(data, n); }
void SimDevice::status(uint32_t& rxQueue, uint32_t& txQueue) {
    jig_->impl_->link.status(rxQueue, txQueue);
    if (jig_->impl_->opts.drainNever && isOpen() && txQueue == 0) txQueue = 1;
}

void SimDevice::purge(bool rx, bool tx) {
    if (isOpen()) jig_->impl_->link.purge(rx, tx);
}

void SimDevice::waitForData(uint32_t rxSeen, Clock::time_point until) {
    jig_->impl_->link.waitForData(rxSeen, until);
}
std::vector<uint8_t> SimDevice::takeHostBytes() { return jig_->impl_->link.takeHostBytes(); }
std::string SimDevice::identity() const { return jig_->identity(); }
SimJig& SimDevice::jig() { return *jig_; }

}  // namespace sim
