// What the ITE session and command-line tests share: the sample database,
// the wire bytes of the ITE commands, files and images.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zjig::test {

using Bytes = std::vector<uint8_t>;

inline constexpr size_t kIteFlash = 131072;

constexpr const char* kZtiRecord =
    "ZTI-100 demo board  PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=20 AFD=21 "
    "INIT=22 SLIN=23 KSI4=24 KSI5=25 KB_pins=30";

// CR LF and LF line ends, an empty line, and a last line without its end.
inline const std::string kIteDatabase =
    std::string(kZtiRecord) +
    "\r\n"
    "\r\n"
    "ZTI-200 no AFD PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=20 INIT=22 "
    "SLIN=23 KSI4=24 KSI5=25 KB_pins=30\n"
    "ZTI-300 small connector PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=20 "
    "AFD=21 INIT=22 SLIN=23 KSI4=24 KSI5=25 KB_pins=23\n"
    "ZTI-400 unfinished PD0=1";

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One ITE command as it goes out: with the prefix on a third-generation JIG.
inline Bytes iteCommand(bool jig3, Bytes body) { return jig3 ? Bytes{'T'} + body : body; }
inline Bytes iteConnect(bool jig3) { return iteCommand(jig3, {'T'}); }
inline Bytes iteRegister(bool jig3, uint8_t reg, uint8_t value) {
    return iteCommand(jig3, {'A', reg}) + iteCommand(jig3, {uint8_t(jig3 ? 'D' : 'W'), value});
}
inline Bytes repeatBytes(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out = out + unit;
    return out;
}

inline Bytes readAllBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void writeAllBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// An image whose chunks all differ, so that a lost or repeated chunk shows.
inline Bytes iteImage(size_t size, uint8_t seed) {
    Bytes image(size);
    for (size_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>((i * 13 + (i >> 7) * 5 + seed) ^ (i >> 11));
    return image;
}

// The simulated controller's flash out of its state (flash, then mapping).
inline Bytes flashOf(const Bytes& state) {
    return Bytes(state.begin(),
                 state.begin() + static_cast<long>(std::min(state.size(), kIteFlash)));
}

}  // namespace zjig::test
