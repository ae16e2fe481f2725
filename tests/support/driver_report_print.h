#pragma once
// How GoogleTest prints a driver report in a failed expectation: its form and its text.
#include <ostream>

#include "graph/driver_report.h"

inline void PrintTo(const DriverReport& report, std::ostream* out) {
    switch (report.form) {
        case DriverReport::Form::Error:
            *out << "Error";
            break;
        case DriverReport::Form::PageError:
            *out << "PageError";
            break;
        case DriverReport::Form::Notice:
            *out << "Notice";
            break;
    }
    *out << "(\"" << report.text << "\")";
}
