#include "fit/fit_parameters.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <span>

#include "fit/input_file.h"
#include "model/parameter_fields.h"
#include "model/parameter_file.h"
#include "textio/failure_report.h"
#include "textio/free_form_reader.h"

namespace fit {

namespace {

std::string absolute_path(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

// The failure report exactly as the simulation program writes it.
std::string report_line(int number, const std::string& full_path, int os_error) {
    return textio::failure_report_text(number, model::parameter_file_unit, full_path, os_error);
}

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\n' || c == '\r'; }

// Finds the coefficient's token: the reads before it are repeated with the
// same reader, and the token is the one that ends where the coefficient's
// read stopped (the reader stops right after a value it stored).
void locate_coefficient(FitParameters& fit) {
    textio::FreeFormReader reader = textio::make_memory_reader(fit.text);
    std::array<double, 1> value{};
    if (textio::read_list(reader, {}) != textio::ReadOutcome::ok) return;  // title line
    for (int k = 0; k < 2; ++k) {                                          // the two radii
        if (textio::read_list(reader, value) != textio::ReadOutcome::ok) return;
    }
    if (textio::read_list(reader, value) != textio::ReadOutcome::ok) return;
    std::size_t end = textio::text_offset(reader);
    if (end > fit.text.size()) return;
    while (end > 0 && is_separator(fit.text[end - 1])) --end;
    std::size_t begin = end;
    while (begin > 0 && !is_separator(fit.text[begin - 1])) --begin;
    if (begin == end) return;
    // A repeat ("1*5000") or a truth value cannot simply be rewritten.
    const std::string token = fit.text.substr(begin, end - begin);
    char* stop = nullptr;
    const double parsed = std::strtod(token.c_str(), &stop);
    if (stop != token.c_str() + token.size() || !(parsed == value[0])) return;
    fit.coefficient_begin = begin;
    fit.coefficient_end = end;
    fit.coefficient_rewritable = true;
}

bool positive_finite(double x) { return std::isfinite(x) && x > 0.0; }

// The field of the parameter file named `name`.
const model::ParameterField& field_named(std::string_view name) {
    for (const model::ParameterField& field : model::parameter_fields) {
        if (field.name == name) return field;
    }
    return model::parameter_fields.front();  // not reached: every name used here is in the table
}

// The line of the two phase durations.
const int duration_line = field_named("first_phase_duration").line;

// "the inner radius (line 2)": a value as the refusals name it.
std::string value_title(const model::ParameterField& field) {
    return "the " + std::string(field.meaning) + " (line " + std::to_string(field.line) + ")";
}

}  // namespace

FitParameters parse_fit_parameters(std::string text, const std::string& full_path) {
    FitParameters fit;
    fit.text = std::move(text);
    textio::FreeFormReader reader = textio::make_memory_reader(fit.text);
    const textio::ReadOutcome outcome = model::read_parameter_set(reader, fit.parameters);
    if (outcome != textio::ReadOutcome::ok) {
        fit.error = report_line(textio::failure_number_of(outcome), full_path, 0);
        return fit;
    }
    locate_coefficient(fit);
    return fit;
}

FitParameters read_fit_parameters(const std::string& path) {
    const std::string full_path = absolute_path(path);
    InputBytes input = read_input_file(path);
    if (input.interrupted) {
        FitParameters fit;
        fit.error = "interrupted";
        return fit;
    }
    if (input.open_error != 0) {
        const textio::OpenFailure failure = textio::open_failure_of(input.open_error);
        FitParameters fit;
        fit.error = report_line(failure.number, full_path, failure.os_error);
        return fit;
    }
    if (input.read_error != 0) {
        FitParameters fit;
        fit.error = report_line(textio::failure_read, full_path, 0);
        return fit;
    }
    return parse_fit_parameters(std::move(input.bytes), full_path);
}

// Values that would let the model misbehave are refused before any run.
// With every value below positive and finite (and a positive coefficient
// from the search), each step's system is the sum of a positive definite
// capacity matrix (the two-point rule integrates the radius-weighted products
// of the linear shape functions exactly, and the Gauss points lie inside each
// element, so every radius there is positive), a positive semidefinite
// conduction matrix and a non-negative surface term: symmetric positive
// definite, hence nonsingular.  Elimination of a nonsingular tridiagonal
// system always finds a nonzero pivot, so the solver never records its zero
// pivot error and never stops the process in a fit.  The step limit keeps a
// single run, and the memory and time of a fit, bounded.
std::string refusal_of_parameters(const model::ParameterSet& p) {
    // Every value but the coefficient (which the fit supplies) and the
    // durations (checked together below) must be finite.
    for (const model::ParameterField& field : model::parameter_fields) {
        if (field.name == "heat_transfer_coefficient" || field.line == duration_line) continue;
        if (!std::isfinite(p.*field.member)) return value_title(field) + " is not a finite number";
    }
    if (!std::isfinite(p.first_phase_duration) || !std::isfinite(p.second_phase_duration)) {
        return "the phase durations (line " + std::to_string(duration_line) + ") must be finite numbers";
    }
    if (p.inner_radius < 0.0) return value_title(field_named("inner_radius")) + " must not be negative";
    if (!(p.outer_radius > p.inner_radius)) {
        return value_title(field_named("outer_radius")) + " must be larger than the inner radius";
    }
    for (const char* name : {"density", "specific_heat", "conductivity"}) {
        const model::ParameterField& field = field_named(name);
        if (!(p.*field.member > 0.0)) return value_title(field) + " must be positive";
    }
    if (p.first_phase_duration < 0.0 || p.second_phase_duration < 0.0) {
        return "the phase durations (line " + std::to_string(duration_line) + ") must not be negative";
    }
    if (!(p.first_phase_duration + p.second_phase_duration > 0.0)) {
        return "the run has no length: the phase durations (line 10) add up to 0";
    }
    const model::ModelSetup setup = model::derive_model_setup(p);
    if (!positive_finite(setup.volumetric_heat_capacity) || !positive_finite(setup.diffusivity) ||
        !positive_finite(setup.element_length) || !positive_finite(setup.reference_step) ||
        !positive_finite(setup.total_time)) {
        return "the values are out of the range the model can compute with";
    }
    if (setup.step_count < 1 || setup.step_count > fit_step_limit) {
        return "the run needs more than " + std::to_string(fit_step_limit) +
               " time steps; shorten the phases (line 10) or check the radii and the material";
    }
    if (!positive_finite(setup.time_step)) return "the values are out of the range the model can compute with";
    return {};
}

}  // namespace fit
