#pragma once
// Dialog texts keep their underscores. A Chinese system gives its dialogs a
// Chinese face for every character, Latin ones too; AR PL UMing at 9 pt
// declares a descent of one pixel and draws its underscore in the second,
// and a label clips its text to the lines' height, so `user_name` showed as
// `user name`. Labels of dialogs whose face does that take their Latin
// letters from a Latin face instead (the Chinese ones stay as they were),
// whose underscore lies within its lines.

class QFont;

namespace dialoglabels {

// The pixels by which the font's underscore reaches below its declared descent.
int UnderscoreOverhang(const QFont& font);

// Watches the application for labels of dialogs as they are first shown.
void Install();

}  // namespace dialoglabels
