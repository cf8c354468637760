#pragma once

#include <QString>
#include <QWidget>

// A frame with its caption set into the top edge of an etched border, holding other controls.
class CaptionFrame : public QWidget {
public:
    CaptionFrame(const QString& title, QWidget* parent);
    QString title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
};
