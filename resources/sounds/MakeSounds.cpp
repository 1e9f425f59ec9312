// make-sounds: writes the program's wave sounds, so that no recorded artwork is kept in the
// sources. Usage: make-sounds <folder>. Each sound is 16-bit mono PCM at 22050 samples a second.
//   vi_ring.wav     a telephone ring: two bursts of 400 + 450 Hz, warbled at 20 Hz
//   vi_page.wav     a two-note chime falling from 880 to 660 Hz
//   vi_shutter.wav  a camera shutter: two short clicks of decaying noise
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

void putLe(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool writeWave(const std::string& path, const std::vector<double>& samples) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);         // format chunk size
    putLe(out, 1, 2);          // PCM
    putLe(out, 1, 2);          // mono
    putLe(out, kRate, 4);      // samples a second
    putLe(out, kRate * 2, 4);  // bytes a second
    putLe(out, 2, 2);          // bytes a frame
    putLe(out, 16, 2);         // bits a sample
    out.write("data", 4);
    putLe(out, dataBytes, 4);
    for (double s : samples) {
        const double clipped = s > 1.0 ? 1.0 : (s < -1.0 ? -1.0 : s);
        putLe(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(clipped * 32000)), 2);
    }
    return static_cast<bool>(out);
}

// seconds of sound from f(t), with 5 ms fades at both ends so nothing clicks.
std::vector<double> render(double seconds, const std::function<double(double)>& f) {
    const int n = static_cast<int>(seconds * kRate);
    std::vector<double> out(static_cast<std::size_t>(n));
    const double fade = 0.005;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        double gain = 1.0;
        if (t < fade)
            gain = t / fade;
        if (seconds - t < fade)
            gain = (seconds - t) / fade;
        out[static_cast<std::size_t>(i)] = f(t) * gain;
    }
    return out;
}

double ring(double t) {
    const bool on = t < 0.4 || (t >= 0.6 && t < 1.0);
    if (!on)
        return 0.0;
    const double warble = 0.5 + 0.5 * std::sin(2 * kPi * 20 * t);
    return 0.35 * warble * (std::sin(2 * kPi * 400 * t) + std::sin(2 * kPi * 450 * t));
}

double chime(double t) {
    const double start = t < 0.3 ? 0.0 : 0.3;
    const double freq = t < 0.3 ? 880.0 : 660.0;
    const double local = t - start;
    const double decay = std::exp(-local * 6.0);
    return 0.6 * decay * (std::sin(2 * kPi * freq * t) + 0.3 * std::sin(4 * kPi * freq * t));
}

double shutter(double t) {
    // A fixed linear congruential sequence: the same file at every build.
    static std::uint32_t seed = 12345;
    seed = seed * 1103515245u + 12345u;
    const double noise = static_cast<double>((seed >> 8) & 0xFFFF) / 32768.0 - 1.0;
    const double first = t < 0.06 ? std::exp(-t * 70.0) : 0.0;
    const double second = t >= 0.09 ? std::exp(-(t - 0.09) * 50.0) : 0.0;
    return 0.8 * noise * (first + second);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sounds <folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = writeWave(dir + "/vi_ring.wav", render(1.2, ring)) &&
                    writeWave(dir + "/vi_page.wav", render(1.0, chime)) &&
                    writeWave(dir + "/vi_shutter.wav", render(0.3, shutter));
    if (!ok) {
        std::fprintf(stderr, "make-sounds: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
