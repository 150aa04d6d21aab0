// The About box: fixed size, always on top, the product logo and the program's texts.
#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>

namespace orvio {

// Decodes a JPEG held in memory with libjpeg; a null image when the bytes are not a JPEG.
QImage DecodeJpeg(const QByteArray& bytes);

// The text beside the logo's name.
inline constexpr char kBannerText[] = "M-Bus / Modbus gateway service";

class TFAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TFAbout(QWidget* parent = nullptr);
  QLabel* Image1;
  // The line beside the logo's name, written over the logo in a size that fits it.
  QLabel* Banner;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLabel* Label5;
  QLabel* Label6;
  QPushButton* BitBtn1;
  void BitBtn1Click() { hide(); }
};

}  // namespace orvio
