// tarvex-contact-sheet: puts a handful of rendered stereo frames on one PNG page, left and right
// eye side by side and a caption (the frame's time) under each pair.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/contact-sheet/ContactSheet.h"
#include "tools/contact-sheet/DrawnShare.h"

namespace {

constexpr const char* kUsage =
    "Usage: tarvex-contact-sheet --out SHEET.png [--columns N] [--shrink N]\n"
    "                            LEFT.png RIGHT.png CAPTION [LEFT.png RIGHT.png CAPTION ...]\n"
    "Puts rendered stereo frames on one page: the two eyes side by side, the caption under them.\n"
    "  --columns N  frames per row (default 3)\n"
    "  --shrink N   shrink each eye's image by N (default 4)\n";

bool ParseSmall(const char* text, uint32_t& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || parsed < 1 || parsed > 64) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string output;
    contact_sheet::SheetLayout layout;
    std::vector<std::string> triples;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--out" && hasValue) {
            output = argv[++i];
        } else if (argument == "--columns" && hasValue) {
            if (!ParseSmall(argv[++i], layout.columns)) {
                std::fputs(kUsage, stderr);
                return 2;
            }
        } else if (argument == "--shrink" && hasValue) {
            if (!ParseSmall(argv[++i], layout.shrink)) {
                std::fputs(kUsage, stderr);
                return 2;
            }
        } else if (argument.starts_with("--")) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            triples.push_back(argument);
        }
    }
    if (output.empty() || triples.empty() || triples.size() % 3 != 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    std::vector<contact_sheet::SheetFrame> frames;
    for (size_t i = 0; i < triples.size(); i += 3) {
        auto left = contact_sheet::ReadPng(triples[i]);
        auto right = contact_sheet::ReadPng(triples[i + 1]);
        if (!left || !right) {
            std::fprintf(stderr, "cannot read %s\n", (!left ? triples[i] : triples[i + 1]).c_str());
            return 1;
        }
        // What a reader of the page cannot judge at its size: how much was drawn at all.
        std::printf("%s: drawn on %.2f%% of the left image, %.2f%% of the right\n",
                    triples[i + 2].c_str(), 100.0 * contact_sheet::DrawnShare(*left),
                    100.0 * contact_sheet::DrawnShare(*right));
        frames.push_back({std::move(*left), std::move(*right), triples[i + 2]});
    }
    const contact_sheet::RgbImage sheet = contact_sheet::ComposeSheet(frames, layout);
    if (!contact_sheet::WritePng(output, sheet)) {
        std::fprintf(stderr, "cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("contact sheet: %s (%u x %u, %zu frames)\n", output.c_str(), sheet.width,
                sheet.height, frames.size());
    return 0;
}
