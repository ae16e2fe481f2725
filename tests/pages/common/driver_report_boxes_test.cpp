#include "pages/common/driver_report_boxes.h"

#include <gtest/gtest.h>

#include "support/message_box_recorder.h"

namespace {

const HWND kPage = reinterpret_cast<HWND>(0x1234);

MessageBoxRequest ErrorBox(const char* text, HWND owner = nullptr) {
    return {owner, text, "error", MB_OK};
}

MessageBoxRequest ProgramBox(const char* text) {
    return {nullptr, text, AfxGetAppName(), MB_OK};
}

// Each form of report is the box the page always showed for it, in the order reported.
TEST(DriverReportBoxesTest, EachFormIsItsOwnBoxInOrder) {
    CMessageBoxRecorder boxes;
    ShowDriverReports({{DriverReport::Form::Notice, "Successfully set the PLSCode."},
                       {DriverReport::Form::Error, "444don't support this interface"},
                       {DriverReport::Form::PageError, "CreateTunerDevice Failed"}},
                      kPage);
    EXPECT_EQ(boxes.Boxes(), (std::vector{ProgramBox("Successfully set the PLSCode."),
                                          ErrorBox("444don't support this interface"),
                                          ErrorBox("CreateTunerDevice Failed", kPage)}));
}

// "Lock TP": what the driver said on the way comes first; a refusal quotes the driver in an
// "error" box, the program's own words come under its caption.
TEST(DriverReportBoxesTest, ATuneShowsTheDriversWordsThenItsErrors) {
    CMessageBoxRecorder boxes;
    TuneResult result;
    result.outcome = TuneResult::Outcome::Error;
    result.driverReports = {
        {DriverReport::Form::Error, "SendDiseqCommand11 QueryInterface Failed"}};
    result.errors = {{TuneError::Kind::InvalidRequest, "CreateDVBTuneRequest is invalid!"},
                     {TuneError::Kind::Refused, "the tuner is busy"}};
    ShowTuneErrors(result);
    EXPECT_EQ(boxes.Boxes(), (std::vector{ErrorBox("SendDiseqCommand11 QueryInterface Failed"),
                                          ProgramBox("CreateDVBTuneRequest is invalid!"),
                                          ErrorBox("the tuner is busy")}));
}

}  // namespace
