// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QStringList>

// The rows of the editor's "Changes Over Time" section: each phase's name,
// duration as typed, the conditions it plays (a choice) and its message.
// Not final: QML wraps registered types that it could construct.
class SchedulePhaseRows : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        // "Phase 2": how a screen reader names the row's controls.
        LabelRole = Qt::UserRole + 1,
        NameRole,
        DurationRole,
        ChoicesRole,
        ChoiceIndexRole,
        MessageRole,
        CanMoveUpRole,
        CanMoveDownRole,
    };

    struct Row {
        QString label;
        QString name;
        QString duration;
        QStringList choices;
        int choiceIndex = 0;
        QString message;
        bool canMoveUp = false;
        bool canMoveDown = false;

        bool operator==(const Row&) const = default;
    };

    explicit SchedulePhaseRows(QObject* parent = nullptr);

    // Changes only the rows that differ, so a field being typed in keeps its
    // focus; a change of count starts the list over.
    void update(const QList<Row>& rows);
    const QList<Row>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<Row> m_rows;
};
