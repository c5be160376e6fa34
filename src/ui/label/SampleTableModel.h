#pragma once

#include <QAbstractTableModel>

#include <string>
#include <vector>

#include "label/Label.h"

// The template's @ tokens and the operator's sample values for them: the
// token in column 0, its sample, editable, in column 1. Samples typed for
// tokens the template no longer holds are kept, for when it holds them again.
class SampleTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // The tokens to list, in the template's order; nothing changes when they
    // are the ones listed.
    void setTokens(const std::vector<std::string>& tokens);
    const std::vector<std::string>& tokens() const { return tokens_; }

    // The samples of every token, listed or not. An empty sample is none.
    const label::SampleValues& samples() const { return samples_; }
    void setSamples(label::SampleValues samples);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  Q_SIGNALS:
    void samplesEdited();

  private:
    std::vector<std::string> tokens_;
    label::SampleValues samples_;
};
