#pragma once

#include <QAbstractListModel>

#include <memory>

#include "label/Label.h"

// The findings of the label shown, one row each: "line 8: warning: text".
// Qt::UserRole gives the row's line number.
class FindingListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;

    static constexpr int LineRole = Qt::UserRole;

    void setLabel(std::shared_ptr<const label::Label> label);
    int lineAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    std::shared_ptr<const label::Label> label_;
};
