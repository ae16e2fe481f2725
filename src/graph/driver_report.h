#pragma once
// What the tuner graph and the driver conversation have to tell the user: failures, and the
// driver's word that a setting took. The layers below the pages return these in the order they
// arose; the pages decide how to show them (ShowDriverReports shows each as its box).
#include <string>
#include <vector>

struct DriverReport {
    enum class Form {
        Error,      // a box captioned "error" with no owner
        PageError,  // a box captioned "error" owned by the page that asked
        Notice,     // a box of the program's own, under the main window
    };
    Form form = Form::Error;
    std::string text;

    friend bool operator==(const DriverReport&, const DriverReport&) = default;
};

using DriverReports = std::vector<DriverReport>;
