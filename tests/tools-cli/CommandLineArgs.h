#pragma once

// An argv for a parser under test, built from a program name and its switches.

#include <string>
#include <utility>
#include <vector>

class CommandLineArgs {
public:
    CommandLineArgs(std::string program, const std::vector<std::string>& switches)
        : words_{std::move(program)} {
        words_.insert(words_.end(), switches.begin(), switches.end());
        for (const std::string& word : words_) {
            pointers_.push_back(word.c_str());
        }
    }

    int argc() const { return static_cast<int>(pointers_.size()); }
    const char* const* argv() const { return pointers_.data(); }

private:
    std::vector<std::string> words_;
    std::vector<const char*> pointers_;
};
