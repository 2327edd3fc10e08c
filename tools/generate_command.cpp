// SPDX-License-Identifier: Apache-2.0
#include "tools/generate_command.h"

#include "jet/error.h"
#include "tools/create_command.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include <fstream>
#include <iostream>
#include <stdexcept>

namespace tenderdb {

namespace {

long number(const std::string& option, const std::string& text, long low, long high) {
    std::size_t used = 0;
    long value = 0;
    try {
        value = std::stol(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < low || value > high)
        throw std::invalid_argument(option + " takes a whole number from " + std::to_string(low) +
                                    " to " + std::to_string(high));
    return value;
}

} // namespace

void generateCommand(const std::vector<std::string>& args) {
    long lots = -1;
    long positions = -1;
    long seed = 1;
    std::string descriptionPath;
    std::string out;
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--force") {
            force = true;
            continue;
        }
        if (arg.rfind("--", 0) == 0 && i + 1 == args.size())
            throw std::invalid_argument(arg + " needs a value");
        if (arg == "--lots")
            lots = number(arg, args[++i], 1, 100000);
        else if (arg == "--positions")
            positions = number(arg, args[++i], 0, 10000000);
        else if (arg == "--seed")
            seed = number(arg, args[++i], 0, UINT32_MAX);
        else if (arg == "--description")
            descriptionPath = args[++i];
        else if (arg.rfind("--", 0) == 0 || !out.empty())
            throw std::invalid_argument("unexpected argument " + arg);
        else
            out = arg;
    }
    if (lots < 0 || positions < 0 || out.empty())
        throw std::invalid_argument("generate needs --lots N --positions M OUT.mdb");
    refuseToReplace(out, force);
    nlohmann::json tender = tender::generateTender(
        static_cast<int>(lots), static_cast<int>(positions), static_cast<std::uint32_t>(seed));
    if (!descriptionPath.empty()) {
        std::ofstream description(descriptionPath);
        description << tender.dump(1) << '\n';
        if (!description)
            throw jet::Error(descriptionPath + ": cannot write the description");
    }
    for (const std::string& note : tender::writeTender(tender, out).notes)
        std::cerr << "tenderdb: note: " << note << '\n';
}

} // namespace tenderdb
