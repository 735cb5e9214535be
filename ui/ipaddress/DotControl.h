#pragma once

#include <QSize>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <QMouseEvent>

namespace MarlinIPAddressControlLib {

// The painted "." between two fields. It is a plain widget rather than a text box: it is never
// edited, takes no focus and only needs to draw its dot in the colours of the container.
class DotControl : public QWidget {
    Q_OBJECT
public:
    explicit DotControl(QWidget* parent = nullptr);

    bool ReadOnly() const { return _readOnly; }
    void SetReadOnly(bool readOnly);
    QSize MinimumSize() const;
    QString Text() const { return QStringLiteral("."); }
    QString ToString() const { return Text(); }

    // The container tells the dot whether its colours are the operator's own or the defaults.
    void SetBackColorChanged(bool changed);

    QSize sizeHint() const override { return MinimumSize(); }
    QSize minimumSizeHint() const override { return MinimumSize(); }

signals:
    void Click();
    void DoubleClick();
    void MouseClick(QMouseEvent* event);
    void MouseDoubleClick(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseHover();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Measure();

    bool _readOnly = false;
    bool _backColorChanged = false;
    int _stringFormat = Qt::TextSingleLine | Qt::TextIncludeTrailingSpaces;
    QSizeF _sizeText;
};

} // namespace MarlinIPAddressControlLib
