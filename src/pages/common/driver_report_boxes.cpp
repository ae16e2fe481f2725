#include "pages/common/driver_report_boxes.h"

#include "platform/ui/message_box.h"

void ShowDriverReports(const DriverReports& reports, HWND owner) {
    for (const DriverReport& report : reports) {
        switch (report.form) {
            case DriverReport::Form::Error:
                MessageBoxA(nullptr, report.text, "error", MB_OK);
                break;
            case DriverReport::Form::PageError:
                MessageBoxA(owner, report.text, "error", MB_OK);
                break;
            case DriverReport::Form::Notice:
                AfxMessageBox(report.text);
                break;
        }
    }
}

void ShowTuneErrors(const TuneResult& result) {
    ShowDriverReports(result.driverReports);
    for (const TuneError& error : result.errors) {
        // A refusal quotes the driver in a box of its own; the others are the program's words.
        if (error.kind == TuneError::Kind::Refused) {
            MessageBoxA(nullptr, error.text, "error", MB_OK);
        } else {
            AfxMessageBox(error.text);
        }
    }
}
