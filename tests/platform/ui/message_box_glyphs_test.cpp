// The framework's prompts are Chinese. Without a font that has those characters Qt draws empty
// boxes, so this test fails (not skips) on a machine that lacks one: it guards the installation
// of the CJK font in scripts/setup. It asks what Qt will really draw: the prompt laid out in the
// font of a live message box's label, font fallback included.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QGlyphRun>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>

#include "platform/ui/message_box.h"
#include "platform/ui/qt/data_exchange.h"
#include "platform/ui/qt/qt_message_box_service.h"
#include "support/hang_watchdog.h"

namespace {

struct PromptCase {
    const char* name;
    std::string text;
};

void PrintTo(const PromptCase& c, std::ostream* os) {
    *os << c.name;
}

// The prompts as the framework shows them; the range gets bounds that use every digit.
const PromptCase kPrompts[] = {
    {"IntegerPrompt", DataExchange::kIntegerPrompt},
    {"PositiveIntegerPrompt", DataExchange::kPositiveIntegerPrompt},
    {"RangePrompt", DataExchange::RangePrompt(0, 123456789)},
};

struct ShownBox {
    bool found = false;
    QString text;
    QFont labelFont;
};

// Shows `text` through the real message box service and reads the label of the box while it is
// open, then closes it.
ShownBox ShowAndInspect(const std::string& text) {
    CQtMessageBoxService service;
    IMessageBoxService* previous = SetMessageBoxService(&service);
    ShownBox shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible()) continue;
            poll.stop();
            if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                shown.found = true;
                shown.text = label->text();
                shown.labelFont = label->font();
            }
            box->accept();
            return;
        }
    });
    poll.start(10);
    AfxMessageBox(text);
    SetMessageBoxService(previous);
    return shown;
}

// Glyph index 0 is a font's "missing glyph", drawn as an empty box; after fallback it means no
// installed font has the character.
bool DrawsEveryGlyph(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
        line.setLineWidth(1e6);
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return !runs.isEmpty() && std::none_of(runs.begin(), runs.end(), [](const QGlyphRun& run) {
        return run.glyphIndexes().contains(0);
    });
}

// Every character that no font draws, as "U+8BF7 请".
QStringList MissingCharacters(const QString& text, const QFont& font) {
    QStringList missing;
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (DrawsEveryGlyph(character, font)) continue;
        missing << QStringLiteral("U+%1 %2")
                       .arg(static_cast<unsigned>(codePoint), 4, 16, QChar('0'))
                       .toUpper()
                       .arg(character);
    }
    return missing;
}

class MessageBoxGlyphsTest : public ::testing::TestWithParam<PromptCase> {};

TEST_P(MessageBoxGlyphsTest, EveryCharacterOfThePromptHasAGlyphInTheBoxFont) {
    const CHangWatchdog watchdog("message box glyphs test", std::chrono::seconds(30));
    const PromptCase& prompt = GetParam();
    const QString expected = QString::fromStdString(prompt.text);
    ASSERT_FALSE(expected.contains(QChar('%'))) << "a bound of the prompt was not filled in";

    const ShownBox shown = ShowAndInspect(prompt.text);
    ASSERT_TRUE(shown.found) << "no message box with a text label appeared";
    ASSERT_EQ(shown.text, expected) << "the box shows another text than the one checked";

    const QStringList missing = MissingCharacters(expected, shown.labelFont);
    EXPECT_TRUE(missing.isEmpty())
        << "no installed font draws " << missing.join(QStringLiteral(", ")).toStdString()
        << " of \"" << prompt.text << "\" in the box font \""
        << shown.labelFont.family().toStdString()
        << "\" or its fallbacks: install a CJK font (fonts-wqy-microhei, scripts/setup)";
    // The characters together as well: shaping the whole line must not lose a glyph either.
    EXPECT_TRUE(DrawsEveryGlyph(expected, shown.labelFont))
        << "the whole prompt \"" << prompt.text << "\" lays out with a missing glyph";
}

INSTANTIATE_TEST_SUITE_P(Prompts, MessageBoxGlyphsTest, ::testing::ValuesIn(kPrompts),
                         [](const ::testing::TestParamInfo<PromptCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
