// The tables of the boiling-curve mode named on the command line
// (--coefficient-table, --conductivity-table, --specific-heat-table): read
// before any file is touched, each a small CSV file of (temperature in C,
// value) rows.
#pragma once

#include <cstdint>
#include <string>

#include "model/property_table.h"
#include "model/table_step.h"

namespace program {

struct TableFiles {
    std::string coefficient;  // empty: not given
    std::string conductivity;
    std::string specific_heat;
};

struct LoadedTables {
    model::PropertyTable coefficient;
    model::PropertyTable conductivity;
    model::PropertyTable specific_heat;
    model::MaterialTables view;  // points into the tables above
};

// The largest table file read.
inline constexpr std::size_t largest_table_file = 1024 * 1024;

// Reads the tables named in `files` (relative to the working directory)
// into `loaded`.  A table that cannot be read or is not a good table gives
// one line "temp1d: <file>: line <n>: <reason>" (or "temp1d: <file>:
// <reason>") and status 7; 0 when all are good.  An interruption while a
// table is read ends the process by its signal.
std::uint32_t load_tables(const TableFiles& files, LoadedTables& loaded);

}  // namespace program
