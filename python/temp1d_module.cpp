// The Python module temp1d: the parameter file, the run, the check and the
// fit of the command-line programs as functions that take and return Python
// values and numpy arrays, without files.
//
// Every call works on its own state: the model of a run is allocated per
// call, and the state the layers below keep (the text layer's unit table,
// the numerical library's error state, the result writer's record cache) is
// per thread.  The library's error state is set back to its initial values
// at the start of every call, so a call that stopped leaves nothing behind.
// Failures below end their work with textio::Stop after their report; here
// the report is captured (standard error per thread, and what the library
// wrote into the thread's standard-output unit) and raised as temp1d.Error
// with the status the program would have ended with.  A run releases the
// GIL and looks for Python signals between chunks of steps.
#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <fstream>
#include <string>
#include <vector>

#include "fit/coefficient_fit_run.h"
#include "fit/coefficient_search.h"
#include "fit/curve_checks.h"
#include "fit/fit_parameters.h"
#include "fit/fit_report.h"
#include "fit/measured_curve.h"
#include "model/heat_model.h"
#include "model/property_table.h"
#include "model/table_step.h"
#include "model/parameter_fields.h"
#include "model/parameter_file.h"
#include "model/radial_profile.h"
#include "model/result_file.h"
#include "numlib/error_state.h"
#include "program/outcomes.h"
#include "program/parameter_check.h"
#include "program/run_reports.h"
#include "textio/failure_report.h"
#include "textio/field_editing.h"
#include "textio/file_channel.h"
#include "textio/posix_file.h"
#include "textio/unit_table.h"

namespace py = pybind11;

namespace {

// A failure to be raised as temp1d.Error.
struct Failure {
    std::uint32_t status;  // as the program would end: a failure number, 2, 3, 4, ...
    std::string report;
};

// The status a shell sees for the program's exit status: failures of the
// text layer become their failure number.
std::uint32_t shown_status(std::uint32_t status) {
    return status >= textio::failure_status_base ? status - textio::failure_status_base : status;
}

// Steps between two looks for Python signals (a few milliseconds).
constexpr std::int64_t steps_per_chunk = 4096;

// The one piece of set-up that touches state of the whole process: the first
// use of the text layer in a thread connects standard streams the process
// was started without to the null device.
std::mutex first_use_lock;

// The scope of one call into the layers below, on the calling thread.
class CallScope {
public:
    CallScope() {
        {
            const std::lock_guard<std::mutex> guard(first_use_lock);
            static_cast<void>(textio::all_slots());
        }
        numlib::detail::initialise_error_state(numlib::detail::error_state());
        textio::capture_standard_error(&captured_);
    }
    ~CallScope() { textio::capture_standard_error(nullptr); }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    // What was reported since the call began: the library's report (written
    // through the standard-output unit, taken back out of its buffer before
    // it reaches the process's standard output) and the standard-error text.
    std::string take_reports() {
        std::string text;
        if (textio::Channel* out = textio::find_channel(textio::standard_output_unit); out != nullptr) {
            text.assign(out->out.data(), out->used);
            out->used = 0;
        }
        text += captured_;
        captured_.clear();
        return text;
    }

    // The failure of a stop: its status and the reports written before it.
    Failure failure_of(const textio::Stop& stop) {
        for (int unit : {model::parameter_file_unit, model::result_file_unit}) {
            if (textio::Channel* channel = textio::find_channel(unit); channel != nullptr) {
                static_cast<void>(textio::disconnect_channel(*channel));
            }
        }
        return {shown_status(stop.status), take_reports()};
    }

private:
    std::string captured_;
};

py::handle error_type;

[[noreturn]] void raise_failure(const Failure& failure) {
    std::string report = failure.report;
    while (!report.empty() && (report.back() == '\n' || report.back() == '\r')) report.pop_back();
    py::object error = error_type(failure.status, report);
    PyErr_SetObject(error_type.ptr(), error.ptr());
    throw py::error_already_set();
}

std::string shortest_text(double value) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// The text of a value in a parameter file: the shortest that the free-form
// reader reads back as the same binary64 value.
std::string parameter_text(double value) {
    if (!std::isfinite(value)) throw py::value_error("a parameter file holds finite numbers only");
    if (value == 0.0 && std::signbit(value)) return "-0.0";  // "-0" reads as +0
    return shortest_text(value);
}

model::ParameterSet read_parameters(const std::string& path) {
    model::ParameterSet parameters;
    std::optional<Failure> failure;
    {
        CallScope scope;
        try {
            textio::Channel& channel = textio::open_existing_unit(model::parameter_file_unit, path);
            textio::FreeFormReader reader = textio::make_channel_reader(channel);
            const textio::ReadOutcome outcome = model::read_parameter_set(reader, parameters);
            if (outcome != textio::ReadOutcome::ok) {
                textio::report_failure(textio::failure_number_of(outcome), channel.unit, channel.full_path);
            }
            textio::close_unit(model::parameter_file_unit);
        } catch (const textio::Stop& stop) {
            failure = scope.failure_of(stop);
        }
    }
    if (failure) raise_failure(*failure);
    return parameters;
}

std::string parameters_text(const model::ParameterSet& parameters, const std::string& title) {
    if (title.find_first_of("\r\n") != std::string::npos) throw py::value_error("the title must be one line");
    std::string text = title + "\n";
    int line = 2;
    for (const model::ParameterField& field : model::parameter_fields) {
        if (field.line != line) {
            text += "\n";
            line = field.line;
        } else if (text.back() != '\n') {
            text += " ";
        }
        text += parameter_text(parameters.*field.member);
    }
    return text + "\n";
}

void write_parameters(const model::ParameterSet& parameters, const std::string& path, const std::string& title) {
    const std::string text = parameters_text(parameters, title);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
        throw py::error_already_set();
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !written) {
        errno = written ? errno : error;
        PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
        throw py::error_already_set();
    }
}

// A Parameters object, or the name of a parameter file to read.
model::ParameterSet parameters_of(const py::object& source) {
    if (py::isinstance<model::ParameterSet>(source)) return source.cast<model::ParameterSet>();
    const py::object path = py::module_::import("os").attr("fspath")(source);
    return read_parameters(path.cast<std::string>());
}

struct RunResult {
    py::array_t<double> time;         // end of each kept step
    py::array_t<double> temperature;  // kept steps x radii
    py::array_t<double> centre;       // the result file's tc, bit for bit
    py::array_t<double> surface;      // tpov
    py::array_t<double> dT;
    double dTmax = 0.0;
    std::vector<double> radii;
    std::int64_t step_count = 0;
    double time_step = 0.0;
    std::string report;  // anything the library printed without stopping
};

py::array_t<double> array_of(const std::vector<double>& values) {
    py::array_t<double> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

// A table of the table mode from a CSV file (a path) or from rows of
// (temperature, value) pairs; read and checked as temp1d reads its table
// files.  A bad table raises Error with status 7, as temp1d ends.
const model::PropertyTable* table_of(const py::object& given, model::PropertyTable& table) {
    if (given.is_none()) return nullptr;
    std::string name;
    std::string text;
    if (py::isinstance<py::str>(given) || py::hasattr(given, "__fspath__")) {
        name = py::module_::import("os").attr("fspath")(given).cast<std::string>();
        std::ifstream file(name, std::ios::binary);
        if (!file) raise_failure({program::status_bad_table, "temp1d: " + name + ": cannot be read"});
        std::ostringstream bytes;
        bytes << file.rdbuf();
        text = bytes.str();
    } else {
        name = "(rows)";
        for (const py::handle row : given) {
            const auto pair = row.cast<std::vector<double>>();
            if (pair.size() != 2) raise_failure({program::status_bad_table, "temp1d: (rows): a row is no pair"});
            text += shortest_text(pair[0]) + "," + shortest_text(pair[1]) + "\n";
        }
    }
    model::TableReading reading = model::parse_property_table(text);
    if (!reading.problem.empty()) {
        raise_failure({program::status_bad_table,
                       "temp1d: " + name + ": " +
                           (reading.line > 0 ? "line " + std::to_string(reading.line) + ": " : "") + reading.problem});
    }
    table = std::move(reading.table);
    return &table;
}

RunResult run(const py::object& source, const std::vector<double>& radii, std::int64_t every,
              const py::object& coefficient_table, const py::object& conductivity_table,
              const py::object& specific_heat_table) {
    model::PropertyTable coefficient, conductivity, specific_heat;
    const model::MaterialTables tables{table_of(coefficient_table, coefficient),
                                       table_of(conductivity_table, conductivity),
                                       table_of(specific_heat_table, specific_heat)};
    for (const double radius : radii) {
        if (!(radius >= 0.0 && radius <= 1.0)) {
            raise_failure({program::status_usage,
                           "radii: each relative radius must be a number from 0 to 1, not " + shortest_text(radius)});
        }
    }
    if (every < 1) raise_failure({program::status_usage, "every: a whole number of steps, 1 or more"});
    const model::ParameterSet parameters = parameters_of(source);

    RunResult result;
    result.radii = radii;
    model::ProfileRows rows;
    std::optional<Failure> failure;
    {
        py::gil_scoped_release release;
        CallScope scope;
        try {
            const model::ModelSetup setup = model::derive_model_setup(parameters);
            result.step_count = setup.step_count;
            result.time_step = setup.time_step;
            if (setup.step_count <= 0) {
                failure = Failure{program::status_no_step_taken, "temp1d: " + program::no_step_report(setup)};
            } else {
                model::ProfileSampling sampling;
                for (const double radius : radii) sampling.points.push_back(model::place_relative_radius(radius));
                sampling.every = every;
                sampling.last_step = setup.step_count;
                const auto heat_model = std::make_unique<model::HeatModel>();
                model::set_up_model(*heat_model, parameters);
                const bool with_tables = model::has_table(tables);
                const model::TableRun table_run =
                    with_tables ? model::prepare_table_run(*heat_model, tables) : model::TableRun{};
                for (std::int64_t step = 1; step <= setup.step_count;) {
                    const std::int64_t last = std::min<std::int64_t>(setup.step_count, step - 1 + steps_per_chunk);
                    model::run_steps_with_profile(*heat_model, step, last, nullptr, sampling, rows,
                                                  with_tables ? &table_run : nullptr);
                    step = last + 1;
                    py::gil_scoped_acquire acquire;
                    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
                }
                result.dTmax = heat_model->dTmax;
                result.report = scope.take_reports();
            }
        } catch (const textio::Stop& stop) {
            failure = scope.failure_of(stop);
        } catch (const std::bad_alloc&) {
            failure =
                Failure{textio::failure_no_memory, textio::failure_report_text(textio::failure_no_memory, 0, {}, 0)};
        }
    }
    if (failure) raise_failure(*failure);
    result.time = array_of(rows.time);
    result.temperature = array_of(rows.temperature);
    result.temperature.resize({static_cast<py::ssize_t>(rows.time.size()), static_cast<py::ssize_t>(radii.size())});
    result.centre = array_of(rows.centre);
    result.surface = array_of(rows.surface);
    result.dT = array_of(rows.dT);
    return result;
}

py::object json_object(const std::string& text) { return py::module_::import("json").attr("loads")(text); }

py::object check(const py::object& path_like) {
    const std::string path = py::module_::import("os").attr("fspath")(path_like).cast<std::string>();
    std::string json;
    std::optional<Failure> failure;
    {
        py::gil_scoped_release release;
        CallScope scope;
        try {
            json = program::check_report_json(program::check_parameter_file(path));
        } catch (const textio::Stop& stop) {
            failure = scope.failure_of(stop);
        }
    }
    if (failure) raise_failure(*failure);
    return json_object(json);
}

// The fit's name for a curve given as arrays; its "lines" are the points'
// positions counted from 1.
constexpr const char* array_curve_name = "(arrays)";

py::object fit_curve(const py::object& source, const std::vector<double>& times,
                     const std::vector<double>& temperatures, const std::string& position, double start, double end) {
    constexpr std::uint32_t status_bad_input = 2;
    const auto started = std::chrono::steady_clock::now();
    fit::FitProblem problem;
    if (position == "centre") {
        problem.position = fit::ProbePosition::centre;
    } else if (position == "surface") {
        problem.position = fit::ProbePosition::surface;
    } else {
        raise_failure({status_bad_input, "position must be centre or surface, not \"" + position + "\""});
    }
    if (!(start < end)) raise_failure({status_bad_input, "start must be smaller than end"});
    if (times.size() != temperatures.size()) {
        raise_failure({status_bad_input, "times and temperatures must have the same length"});
    }
    std::string parameter_name = "(Parameters)";
    if (py::isinstance<model::ParameterSet>(source)) {
        problem.parameters = source.cast<model::ParameterSet>();
    } else {
        parameter_name = py::module_::import("os").attr("fspath")(source).cast<std::string>();
        const fit::FitParameters read = fit::read_fit_parameters(parameter_name);
        if (!read.error.empty()) raise_failure({status_bad_input, read.error});
        problem.parameters = read.parameters;
    }
    if (const std::string refusal = fit::refusal_of_parameters(problem.parameters); !refusal.empty()) {
        raise_failure({status_bad_input, parameter_name + ": cannot fit: " + refusal});
    }
    // The arrays go through the curve file's own reader, so that they are
    // checked by the same rules (finite, increasing times, enough points).
    std::string curve_text;
    for (std::size_t i = 0; i < times.size(); ++i) {
        curve_text += shortest_text(times[i]) + " " + shortest_text(temperatures[i]) + "\n";
    }
    const fit::CurveReading reading = fit::parse_measured_curve(curve_text, array_curve_name);
    if (!reading.error.empty()) raise_failure({status_bad_input, reading.error});

    // The fit as temp1d-fit runs it, from the window to the warnings.
    fit::FitSettings settings;
    settings.curve_file = array_curve_name;
    settings.position = problem.position;
    settings.from = start;
    settings.to = end;
    fit::FitRun run;
    std::optional<Failure> failure;
    {
        py::gil_scoped_release release;
        CallScope scope;
        try {
            fit::run_coefficient_fit(run, problem.parameters, reading, settings);
        } catch (const textio::Stop& stop) {
            failure = scope.failure_of(stop);
        }
    }
    if (failure) raise_failure(*failure);
    if (!run.refusal.empty()) raise_failure({status_bad_input, run.refusal});
    if (run.result.on_boundary) {
        raise_failure({status_bad_input, std::string(array_curve_name) + ": " + fit::boundary_notice(run.result)});
    }
    run.report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return json_object(fit::fit_report_json(run.report));
}

std::string format_fixed(double value, int width, int decimals) {
    if (width < 1 || width > 64 || decimals < 0 || decimals >= width) {
        throw py::value_error("width must be 1 to 64 and decimals 0 to width - 1");
    }
    std::string field(static_cast<std::size_t>(width), ' ');
    textio::format_fixed(value, width, decimals, field.data());
    return field;
}

const model::ParameterField* field_named(std::string_view name) {
    for (const model::ParameterField& field : model::parameter_fields) {
        if (field.name == name) return &field;
    }
    return nullptr;
}

}  // namespace

PYBIND11_MODULE(temp1d, m) {
    m.doc() = "temp1d: transient radial heat conduction in a cylinder, the same computation as the temp1d program.\n"
              "Parameters, run(), check(), fit(), format_fixed() and Error.";

    py::dict scope;
    py::exec(R"(
class Error(Exception):
    """A failure of temp1d: .status is the status the program would end
    with (a failure number of the text layer, 2, 3 for no time step, 4 for
    a library stop, ...), .report the report the program would write."""
    def __init__(self, status, report):
        super().__init__(status, report)
        self.status = status
        self.report = report
    def __str__(self):
        return "status %d: %s" % (self.status, self.report)
Error.__module__ = "temp1d"
)",
             py::globals(), scope);
    error_type = scope["Error"];
    error_type.inc_ref();
    m.attr("Error") = error_type;

    py::class_<model::ParameterSet> parameters(m, "Parameters",
                                               "The eleven values of a parameter file, by their snake_case names.");
    parameters.def(py::init([](const py::kwargs& values) {
                       model::ParameterSet set;
                       for (const auto& [key, value] : values) {
                           const std::string name = key.cast<std::string>();
                           const model::ParameterField* field = field_named(name);
                           if (field == nullptr) throw py::type_error("Parameters has no value named " + name);
                           set.*field->member = value.cast<double>();
                       }
                       return set;
                   }),
                   "Parameters(inner_radius=0.0, outer_radius=0.0, ...): every value not given is 0.0.");
    for (const model::ParameterField& field : model::parameter_fields) {
        const auto member = field.member;
        parameters.def_property(
            std::string(field.name).c_str(), [member](const model::ParameterSet& p) { return p.*member; },
            [member](model::ParameterSet& p, double value) { p.*member = value; },
            (std::string(field.meaning) + ", " + std::string(field.unit)).c_str());
    }
    parameters.def_property_readonly_static("names", [](const py::object&) {
        py::tuple names(model::parameter_fields.size());
        for (std::size_t i = 0; i < model::parameter_fields.size(); ++i) {
            names[i] = py::str(std::string(model::parameter_fields[i].name));
        }
        return names;
    });
    parameters.def_static(
        "read", [](const py::object& path) { return parameters_of(path); }, py::arg("path"),
        "Reads a parameter file as the program does (a missing file is not created).");
    parameters.def(
        "write",
        [](const model::ParameterSet& p, const py::object& path, const std::string& title) {
            write_parameters(p, py::module_::import("os").attr("fspath")(path).cast<std::string>(), title);
        },
        py::arg("path"), py::arg("title") = "temp1d parameters",
        "Writes a parameter file that reads back as exactly these values (LF line ends).");
    parameters.def("text", &parameters_text, py::arg("title") = "temp1d parameters", "The text write() writes.");
    parameters.def("to_dict", [](const model::ParameterSet& p) {
        py::dict values;
        for (const model::ParameterField& field : model::parameter_fields) {
            values[py::str(std::string(field.name))] = p.*field.member;
        }
        return values;
    });
    parameters.def("__eq__", [](const model::ParameterSet& a, const model::ParameterSet& b) {
        for (const model::ParameterField& field : model::parameter_fields) {
            if (!(a.*field.member == b.*field.member)) return false;
        }
        return true;
    });
    parameters.def("__repr__", [](const model::ParameterSet& p) {
        std::string text = "temp1d.Parameters(";
        for (const model::ParameterField& field : model::parameter_fields) {
            if (text.back() != '(') text += ", ";
            text += std::string(field.name) + "=" + shortest_text(p.*field.member);
        }
        return text + ")";
    });
    parameters.def(py::pickle(
        [](const model::ParameterSet& p) {
            py::tuple state(model::parameter_fields.size());
            for (std::size_t i = 0; i < model::parameter_fields.size(); ++i) {
                state[i] = p.*model::parameter_fields[i].member;
            }
            return state;
        },
        [](const py::tuple& state) {
            if (state.size() != model::parameter_fields.size()) throw std::runtime_error("bad Parameters state");
            model::ParameterSet p;
            for (std::size_t i = 0; i < model::parameter_fields.size(); ++i) {
                p.*model::parameter_fields[i].member = state[i].cast<double>();
            }
            return p;
        }));
    parameters.def("copy", [](const model::ParameterSet& p) { return p; });

    py::class_<RunResult>(m, "Run", "The arrays of a run.")
        .def_readonly("time", &RunResult::time, "time at the end of each kept step, s")
        .def_readonly("temperature", &RunResult::temperature, "temperature, kept steps x radii")
        .def_readonly("centre", &RunResult::centre, "tc of each kept step, bit for bit the result file's value")
        .def_readonly("surface", &RunResult::surface, "tpov of each kept step")
        .def_readonly("dT", &RunResult::dT, "|tc - tpov| of each kept step")
        .def_readonly("dTmax", &RunResult::dTmax, "the largest dT of the run")
        .def_readonly("radii", &RunResult::radii, "the relative radii of the columns of temperature")
        .def_readonly("step_count", &RunResult::step_count)
        .def_readonly("time_step", &RunResult::time_step)
        .def_readonly("report", &RunResult::report, "what the numerical library reported without stopping");

    m.def("run", &run, py::arg("parameters"), py::arg("radii") = std::vector<double>{0.0, 0.5, 1.0},
          py::arg("every") = 1, py::arg("coefficient_table") = py::none(), py::arg("conductivity_table") = py::none(),
          py::arg("specific_heat_table") = py::none(),
          "Runs the model of a Parameters object or parameter file in memory and returns a Run.  The tables\n"
          "(a CSV file as temp1d reads it, or rows of (temperature, value)) are those of temp1d's\n"
          "--coefficient-table, --conductivity-table and --specific-heat-table.  The GIL is\n"
          "released; Ctrl-C raises KeyboardInterrupt between chunks of steps.");
    m.def("check", &check, py::arg("path"), "The report of temp1d --check --json as a dict.");
    m.def("fit", &fit_curve, py::arg("parameters"), py::arg("times"), py::arg("temperatures"),
          py::arg("position") = "centre", py::kw_only(), py::arg("start") = 0.0,
          py::arg("end") = std::numeric_limits<double>::infinity(),
          "The report of temp1d-fit --json as a dict; start and end are --from and --to.");
    m.def("format_fixed", &format_fixed, py::arg("value"), py::arg("width") = 12, py::arg("decimals") = 2,
          "A value in a fixed-point field as the result file shows it (12.2 by default).");
}
