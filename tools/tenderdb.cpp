// SPDX-License-Identifier: Apache-2.0
// tenderdb: reads, checks and writes tender files from the command line.

#include "jet/database.h"
#include "tools/check_command.h"
#include "tools/create_command.h"
#include "tools/csv_format.h"
#include "tools/generate_command.h"
#include "tools/update_command.h"

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kUsage = R"(Usage: tenderdb COMMAND ...

Commands:
  tables FILE          list the user tables, one a line
  schema FILE          describe every user table: columns with type, width and flags, indexes
  dump FILE TABLE      print the rows of TABLE as CSV, in the form of mdb-export's defaults
  create [OPTIONS] [--force] DESC.json OUT.mdb
                       write a new tender file holding the tables and rows that DESC.json
                       describes ({"SPECS": [rows], "PREDLOGENIA": [rows]}); options build
                       files of another schema:
                         --column-order authority|reversed|alphabetical
                         --drop TABLE.COLUMN             (repeatable)
                         --retype TABLE.COLUMN=TYPE      (repeatable; TYPE text(N), memo,
                                                          long, integer, byte, double, single,
                                                          currency, datetime, yesno)
                         --inline-maps BYTES             every usage map inline with a
                                                         bitmap of BYTES, beside the global
                                                         map on page 1 while it has room
  generate --lots N --positions M [--seed S] [--description OUT.json] [--force] OUT.mdb
                       write a realistic tender of that size (for benchmarks); with
                       --description also the JSON description it was built from;
                       both replace an existing OUT.mdb only with --force
  update FILE TABLE (--where COLUMN=VALUE | --where-null COLUMN)
                    (--set COLUMN=VALUE | --set-null COLUMN)...
                       change the columns of every row of TABLE whose COLUMN holds VALUE (or
                       is null) and print how many rows changed (a row another writer
                       changed meanwhile counts only if it still matches); a VALUE is
                       read by its column's type: numbers with a decimal point, yes/no as
                       true or false, text as given (an empty text is not null)
  check FILE           walk every page and row of FILE and list what does not add up
                       (usage maps, row offsets, free space, pointers, long values, index
                       entries); lines saying "not checked" name what it cannot check
                       (an index key type, a page type); exit status 0 when the file is
                       sound, 1 otherwise
  --help               show this text
  --version            show the version

Exit status: 0 on success, 1 on an error (written to standard error), 2 on wrong usage.
)";

int usageError(const std::string& message) {
    std::cerr << "tenderdb: " << message << "\n\n" << kUsage;
    return 2;
}

void tables(const std::string& path) {
    jet::Database db(path, jet::Database::Mode::ReadOnly);
    for (const std::string& name : db.tableNames())
        std::cout << name << '\n';
}

void schema(const std::string& path) {
    jet::Database db(path, jet::Database::Mode::ReadOnly);
    for (const std::string& name : db.tableNames()) {
        jet::TableDef def = db.table(name);
        std::cout << "table " << def.name << " (" << def.rowCount << " rows, definition page "
                  << def.definitionPage << ")\n";
        for (const jet::Column& c : def.columns) {
            std::cout << "  " << c.name << ": " << jet::columnTypeName(c.type);
            if (c.type == jet::ColumnType::Text)
                std::cout << '(' << c.length / 2 << ')';
            std::cout << " #" << c.number;
            if (c.isFixed())
                std::cout << " fixed@" << c.fixedOffset;
            else
                std::cout << " var#" << c.variableIndex;
            if (c.isAutoNumber())
                std::cout << " autonumber";
            if (c.compressedUnicode)
                std::cout << " compressed";
            if (def.isIndexed(c))
                std::cout << " indexed";
            std::cout << '\n';
        }
        for (const jet::LogicalIndex& index : def.logicalIndexes) {
            std::cout << "  index " << index.name << (index.kind == 1 ? " (primary key)" : "")
                      << ':';
            if (index.realIndex < def.realIndexes.size())
                for (std::uint16_t number : def.realIndexes[index.realIndex].columnNumbers)
                    for (const jet::Column& c : def.columns)
                        if (c.number == number)
                            std::cout << ' ' << c.name;
            std::cout << '\n';
        }
    }
}

void dump(const std::string& path, const std::string& tableName) {
    jet::Database db(path, jet::Database::Mode::ReadOnly);
    jet::TableDef def = db.table(tableName);
    std::string out = tenderdb::csvHeader(def) + '\n';
    db.scan(def, [&](jet::RowId, const jet::Row& row) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0)
                out += ',';
            out += tenderdb::csvValue(def.columns[i], row[i]);
        }
        out += '\n';
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    });
    std::fwrite(out.data(), 1, out.size(), stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usageError("no command given");
    const std::string& command = args[0];
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            std::cout << kUsage;
        } else if (command == "--version" && args.size() == 1) {
            std::cout << "tenderdb " BRX_VERSION "\n";
        } else if (command == "tables" && args.size() == 2) {
            tables(args[1]);
        } else if (command == "schema" && args.size() == 2) {
            schema(args[1]);
        } else if (command == "dump" && args.size() == 3) {
            dump(args[1], args[2]);
        } else if (command == "check" && args.size() == 2) {
            return tenderdb::checkCommand(args[1]);
        } else if (command == "generate") {
            tenderdb::generateCommand({args.begin() + 1, args.end()});
        } else if (command == "update") {
            tenderdb::updateCommand({args.begin() + 1, args.end()});
        } else if (command == "create") {
            tenderdb::createCommand({args.begin() + 1, args.end()});
        } else {
            return usageError("unknown command or wrong arguments: " + command);
        }
    } catch (const std::invalid_argument& error) {
        return usageError(error.what());
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << "tenderdb: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
