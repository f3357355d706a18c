#pragma once

#include "library/LibrarySearch.h"

#include <QList>
#include <QTimer>
#include <QWidget>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

// The window of Find > "Find in library...": a query box, "Marked passages
// only" and a colour, the count and the hits (title, folder, date, the
// passage with the hit words bold, the colour of a marked passage). A search
// is asked for a short pause after the user stops typing, and at once when
// an option changes.
class LibraryFindWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PauseMs = 250;
    // Put around the hit words of a passage; characters no page holds.
    static constexpr QChar HitStart = QChar(u'\uE000');
    static constexpr QChar HitEnd = QChar(u'\uE001');

    explicit LibraryFindWindow(QWidget *parent = nullptr);

    QString query() const;
    LibrarySearchOptions options() const;
    // Whether a search is due after the pause.
    bool searchPending() const { return m_pause.isActive(); }

    // Shows the hits of a search, or why there are none.
    void showResult(const LibrarySearchResult &result, int limit);
    // The row the user is on; the first when none.
    int currentRow() const;
    // Focus in the query box, its text selected.
    void focusQuery();

    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void searchRequested();
    // Enter or a double click on a hit (row), or Enter in the query box (-1: the current hit).
    void hitChosen(int row);

private:
    QLineEdit *m_query = nullptr;
    QCheckBox *m_marksOnly = nullptr;
    QComboBox *m_colour = nullptr;
    QLabel *m_count = nullptr;
    QListWidget *m_hits = nullptr;
    QTimer m_pause;
};
