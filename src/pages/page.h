#pragma once
// A page of the main window: a widget given the page context, that words its
// captions in the current language and, when the reader's factory default is
// restored, sets its controls of the reader's settings back to theirs. The
// window holds its pages as these and goes over them.

#include "pages/pagecontext.h"

#include <QList>
#include <QWidget>
#include <initializer_list>

namespace kv350 {

class Page : public QWidget {
    Q_OBJECT
public:
    explicit Page(PageContext &context, QWidget *parent = nullptr);

    // Every caption in the current language.
    virtual void applyLanguage() = 0;
    // The controls that show a reader setting, back to the factory values
    // (the pages without such controls keep theirs).
    virtual void resetToFactory() {}
    // Controls that keep one font, the same in every language (the window
    // gives them the English one): ids, counts, bit groups, card types.
    const QList<QWidget *> &ownFontControls() const { return m_ownFont; }

protected:
    // Marks the page's controls of these names as keeping their own font.
    void keepOwnFont(std::initializer_list<const char *> names);

    PageContext &m_context;

private:
    QList<QWidget *> m_ownFont;
};

}  // namespace kv350
