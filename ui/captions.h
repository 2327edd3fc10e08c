// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

class QLabel;
class QWidget;

// What a screen reader hears of an input is what the eye reads beside it: a label that captions
// an input names it, and Alt with the label's underlined letter moves the keyboard there. The
// captions come from the tender, so they are set, named and underlined here, in one place.

// Ties `label` to the input it captions and names the input after the label's text, which is
// taken as it stands, a "&" in it included.
void tieCaption(QLabel& label, QWidget& input);

// Shows `caption` in `label` and names the input tied to it the same. A caption the tender
// leaves empty names the input `unnamed`, so that no input is read as a bare "edit text".
void setCaption(QLabel& label, const QString& caption, const QString& unnamed = QString());

// What names the input or column that the tender's caption column `captionColumn` (such as
// "CAPTION_NOMER", "CAPTION_INFO3", "KP2_IME", "PP1_IME") captions, when the tender leaves the
// caption empty.
QString nameForUncaptioned(const QString& captionColumn);

// The caption `label` shows, without the mark of its underlined letter.
QString captionOf(const QLabel& label);

// Underlines one letter in each caption of `page` that is tied to a shown input, a letter no
// other caption of the page and no button of its window underlines; the inputs the Tab key
// reaches first get their letters first. Run again whenever the page's captions change.
void underlineCaptions(QWidget& page);

// Tells a screen reader why `input` refused a keystroke: the input's description says `rule`
// until its text next changes, and an alert is raised on it.
void announceRefusal(QWidget& input, const QString& rule);
