// The numerical library: a tridiagonal solver and the error-reporting
// machinery it runs on.
//
// Every routine takes its arguments by reference (arrays as a pointer to
// their first element: element 1 of an array is index 0) and delivers its
// results in its arguments (DLSLTR also returns whether it solved the
// system).  A routine that can fail brackets its work between E1PSH and
// E1POP with its own name and records a failure with E1MES; DLSLTS and
// DLSLTE, whose only failure is N <= 0, push their names only when they
// fail, so that a good call runs without the push and pop.  Whether a
// failure is printed and whether it ends the program is decided by its error
// type (ErrorType below) when the routine pops its name:
//
//   type  name               word      printed                                ends the program
//   1     note               NOTE      never                                  never
//   2     alert              ALERT     never                                  never
//   3     warning            WARNING   at the pop of a routine called by USER never
//   4     fatal              FATAL     at the pop of a routine called by USER at that pop
//   5     terminal           TERMINAL  when recorded                          at the next pop
//   6     warning_immediate  WARNING   when recorded                          never
//   7     fatal_immediate    FATAL     when recorded                          at the pop of a routine called by USER
//
// Reports go to the message unit (UMACH slot 3, standard output unless
// changed).  A stop of the library (the table above, an illegal error type,
// a misused stack, IMACH or UMACH with an invalid argument) writes its report
// and throws textio::Stop with library_stop_status (4); the program that
// catches it closes every open file and ends the process with that status.
// The library is single-threaded and not re-entrant.
#pragma once

#include <cstdint>
#include <string_view>

namespace numlib {

// The exit status of a run that the library stopped: after its report, a
// stop of the library throws textio::Stop with this status, and the program
// ends with it.
inline constexpr std::uint32_t library_stop_status = 4;

// The error types of the table above, as E1MES takes them.  Types note to
// fatal act when the routine that recorded one pops its name; terminal,
// warning_immediate and fatal_immediate are printed as they are recorded.
enum ErrorType : int {
    note = 1,
    alert = 2,
    warning = 3,
    fatal = 4,
    terminal = 5,
    warning_immediate = 6,
    fatal_immediate = 7,
};

// Solves the tridiagonal system of order N in place by Gaussian elimination
// with partial pivoting between the pivot row and the row below it.
//   N        on entry: the order of the system; unchanged.
//   SUBDIAG  on entry: SUBDIAG[k] = entry (k, k-1) for k = 1..N-1 (SUBDIAG[0]
//            is ignored).  On return: the reciprocals of pivots 1..N-1 and, in
//            SUBDIAG[N-1], the last pivot itself.
//   DIAG     on entry: the diagonal.  On return: the first superdiagonal of the
//            upper factor (left unchanged when N = 1).
//   SUPDIAG  on entry: SUPDIAG[k] = entry (k, k+1) for k = 0..N-2
//            (SUPDIAG[N-1] is ignored).  On return: the second superdiagonal
//            of the upper factor (left unchanged when N = 1).
//   RHS      on entry: the right-hand side.  On return: the solution.
// Failures: N <= 0 is a TERMINAL error (code 1, arrays untouched); a pivot
// that is exactly zero (or NaN) is a FATAL error (code 2) naming its element,
// and RHS then holds no solution.  Any nonzero finite pivot is accepted.
// Returns whether RHS holds the solution: false after a failure that did not
// end the program (a zero pivot met by a DLSLTR called below the user level,
// whose error the table above passes to the caller's level).
bool DLSLTR(const int& N, double* SUBDIAG, double* DIAG, double* SUPDIAG, double* RHS);

// DLSLTF and DLSLTS split DLSLTR in two for a matrix that is solved with many
// right-hand sides: DLSLTF eliminates the matrix once and records what the
// right-hand side's share of the elimination needs; DLSLTS then solves for
// one right-hand side with the same operations, in the same order, as DLSLTR
// would, so its solution is bit for bit the one DLSLTR gives for the same
// system.  Both use the row operations of DLSLTR itself.
//
// Factors the tridiagonal matrix of order N in place.
//   N        on entry: the order of the system; unchanged.
//   SUBDIAG, DIAG, SUPDIAG
//            on entry: the matrix, as for DLSLTR.  On return: exactly what
//            DLSLTR leaves in them for the same matrix (reciprocal pivots
//            1..N-1 and the last pivot; the upper factor).
//   MULT     array of at least N-1 values; on return MULT[k] is the
//            multiplier t of elimination step k+1 (k = 0..N-2).
//   IPVT     array of at least N-1 values; on return IPVT[k] is 1 when step
//            k+1 interchanged rows k+1 and k+2, else 0.
// Failures: as DLSLTR (N <= 0 TERMINAL code 1; a zero or NaN pivot FATAL
// code 2 naming its element), reported from DLSLTF; after a failure the
// arrays hold no usable factor.
void DLSLTF(const int& N, double* SUBDIAG, double* DIAG, double* SUPDIAG, double* MULT, int* IPVT);

// Solves the system factored by DLSLTF for one right-hand side.
//   N        the order given to DLSLTF.
//   SUBDIAG, DIAG, SUPDIAG, MULT, IPVT
//            as DLSLTF left them; unchanged.
//   RHS      on entry: the right-hand side.  On return: the solution.
// Failures: N <= 0 is a TERMINAL error (code 1) reported from DLSLTS, RHS
// untouched.  The factor is not checked: it must come from a successful
// DLSLTF of order N.
void DLSLTS(const int& N, const double* SUBDIAG, const double* DIAG, const double* SUPDIAG, const double* MULT,
            const int* IPVT, double* RHS);

// DLSLTS in two parts, for a caller that does work of its own while the
// unknowns come out of the back substitution one by one: DLSLTE performs the
// right-hand side's share of the elimination, and the caller then works out
// the unknowns from the last up with the three functions below, with the
// factor as DLSLTF left it (s = SUBDIAG, d = DIAG, u = SUPDIAG, c the RHS as
// DLSLTE left it, x the solution, all from index 0):
//   x[N-1] = last_unknown(c[N-1], s[N-1])
//   x[N-2] = second_last_unknown(c[N-2], d[N-2], x[N-1], s[N-2])
//   x[k]   = unknown(c[k], d[k], x[k+1], u[k], x[k+2], s[k])  for k = N-3..0
// which are the operations of DLSLTS and DLSLTR, in their order, so the
// solution is bit for bit theirs.
//   N        the order given to DLSLTF.
//   MULT, IPVT
//            as DLSLTF left them; unchanged.
//   RHS      on entry: the right-hand side.  On return: its eliminated form c.
// Failures: N <= 0 is a TERMINAL error (code 1) reported from DLSLTE, RHS
// untouched.
void DLSLTE(const int& N, const double* MULT, const int* IPVT, double* RHS);

// The unknowns of the back substitution: x(n) = c(n) / s(n), a true division
// (the last pivot is not inverted); x(n-1) = (c(n-1) - d(n-1) x(n)) s(n-1);
// x(k) = ((c(k) - d(k) x(k+1)) - u(k) x(k+2)) s(k), the two subtractions in
// this order.
inline double last_unknown(double c, double last_pivot) { return c / last_pivot; }
inline double second_last_unknown(double c, double d, double x_next, double pivot_reciprocal) {
    return (c - d * x_next) * pivot_reciprocal;
}
inline double unknown(double c, double d, double x_next, double u, double x_after_next, double pivot_reciprocal) {
    return ((c - d * x_next) - u * x_after_next) * pivot_reciprocal;
}

// Pushes `name` (cut to 32 characters) on the routine-name stack.  More than
// 49 routines active above the user level is a TERMINAL error that ends the
// program.
void E1PSH(std::string_view name);

// Pops `name`, which must equal the name on top of the stack up to trailing
// blanks (case matters), and acts on the error recorded for it: passes it to
// the caller's level, prints it and ends the program as the table above says.
// A pop on an empty stack or of another name is a TERMINAL error.
void E1POP(std::string_view name);

// Records an error of `type` (-1 keeps the current one, 0 none, 1..7 as
// above) and `code` (negative keeps the current one) for the routine on top
// of the stack, and composes `message_template` into the pending report:
// placeholders "%(I1)".."%(I9)" and "%(L1)".."%(L9)" (either case) are
// replaced by the values set with E1SETI and E1SETL since the last E1MES
// (the lookup walks the stored entries one by one from the first, and the
// first entry with the placeholder's letter and number wins; a text value
// that contains something like "*I1*" is never taken for an entry);
// "%/" forces a line break in the printed report.  Types 5 to 7 (terminal,
// warning_immediate, fatal_immediate) are printed at once.  Type 0 or code 0 discards a pending report.  An illegal type
// (below -1 or above 7) prints a report and ends the program.  Called before
// any push, the error is recorded for the user level.
void E1MES(const int& type, const int& code, std::string_view message_template);

// Stores `value` in decimal for the integer placeholder %(I<number>),
// number 1..9; other numbers store nothing.
void E1SETI(const int& number, const int& value);

// Stores `text` (cut to 255 characters) for the text placeholder
// %(L<|number|>); a positive number drops trailing blanks, a negative one
// keeps them.  A value that does not fit the 300-character list is dropped.
void E1SETL(const int& number, std::string_view text);

// Integer constants of the machine's number formats, N = 1..12:
// 32 bits per integer, 4 characters per integer, base 2, 31 digits,
// largest integer 2147483647, floating base 2, binary32 digits 24 and
// exponents -125..128, binary64 digits 53 and exponents -1021..1024.
// Any other N writes a complaint on the output unit and ends the program.
int IMACH(const int& N);

// Unit numbers of the library: slot 1 input (5), slot 2 output (6), slot 3
// messages (6).  N = 1..3 stores slot N into `unit`; N = -1..-3 sets slot |N|
// to `unit`.  Any other N writes a complaint on the message unit and ends the
// program.
void UMACH(const int& N, int& unit);

}  // namespace numlib

// The public routines are also known by their plain names, as client code
// calls them.
using numlib::DLSLTE;
using numlib::DLSLTF;
using numlib::DLSLTR;
using numlib::DLSLTS;
using numlib::E1MES;
using numlib::E1POP;
using numlib::E1PSH;
using numlib::E1SETI;
using numlib::E1SETL;
using numlib::IMACH;
using numlib::UMACH;
