// SPDX-License-Identifier: Apache-2.0
#include "tools/create_command.h"

#include "jet/error.h"
#include "tools/tender_description.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace tenderdb {

namespace {

tender::SchemaChanges::Order parseOrder(const std::string& name) {
    if (name == "authority")
        return tender::SchemaChanges::Order::Authority;
    if (name == "reversed")
        return tender::SchemaChanges::Order::Reversed;
    if (name == "alphabetical")
        return tender::SchemaChanges::Order::Alphabetical;
    throw std::invalid_argument("--column-order takes authority, reversed or alphabetical");
}

// The length of an inline map's bitmap: whole bytes, as many as a map row on a page can hold.
std::size_t parseMapBytes(const std::string& text) {
    constexpr std::size_t kMost = 3000;
    std::size_t used = 0;
    unsigned long bytes = 0;
    try {
        bytes = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.front() == '-' || bytes < 1 || bytes > kMost)
        throw std::invalid_argument("--inline-maps takes a number of bytes from 1 to " +
                                    std::to_string(kMost));
    return bytes;
}

nlohmann::json readDescription(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw jet::Error(path + ": cannot read the description");
    try {
        return nlohmann::json::parse(in);
    } catch (const nlohmann::json::parse_error& error) {
        throw jet::Error(path + ": not valid JSON: " + error.what());
    }
}

} // namespace

void refuseToReplace(const std::string& path, bool force) {
    if (!force && std::filesystem::exists(path))
        throw jet::Error(path + ": the file exists; pass --force to replace it");
}

void createCommand(const std::vector<std::string>& args) {
    tender::SchemaChanges changes;
    std::vector<std::string> files;
    jet::CreateOptions options;
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = arg == "--column-order" || arg == "--drop" || arg == "--retype" ||
                          arg == "--inline-maps";
        if (takesValue && i + 1 == args.size())
            throw std::invalid_argument(arg + " needs a value");
        if (arg == "--force") {
            force = true;
        } else if (arg == "--column-order") {
            changes.order = parseOrder(args[++i]);
        } else if (arg == "--drop") {
            changes.dropped.push_back(args[++i]);
        } else if (arg == "--retype") {
            const std::string& value = args[++i];
            auto equals = value.find('=');
            if (equals == std::string::npos)
                throw std::invalid_argument("--retype takes TABLE.COLUMN=TYPE");
            changes.retyped.push_back({value.substr(0, equals), value.substr(equals + 1)});
        } else if (arg == "--inline-maps") {
            options.inlineMapBytes = parseMapBytes(args[++i]);
        } else if (arg.rfind("--", 0) == 0) {
            throw std::invalid_argument("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        throw std::invalid_argument("create needs DESC.json and OUT.mdb");
    refuseToReplace(files[1], force);
    jet::CreateResult result =
        tender::writeTender(readDescription(files[0]), files[1], changes, options);
    for (const std::string& note : result.notes)
        std::cerr << "tenderdb: note: " << note << '\n';
}

} // namespace tenderdb
