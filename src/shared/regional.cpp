#include "shared/regional.h"

namespace tavrin {

RegionalSettings RegionalSettings::German() {
  RegionalSettings r;
  r.dateOrder = DateOrder::DayMonthYear;
  r.dateSeparator = ".";
  r.timeSeparator = ":";
  r.decimalSeparator = ",";
  r.thousandSeparator = ".";
  r.shortDateFormat = "dd.MM.yyyy";
  r.longTimeFormat = "HH:mm:ss";
  r.monthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                  "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  r.abbreviatedMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                             "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
  r.dayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  r.abbreviatedDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  return r;
}

RegionalSettings RegionalSettings::EnglishUS() {
  RegionalSettings r;
  r.dateOrder = DateOrder::MonthDayYear;
  r.dateSeparator = "/";
  r.timeSeparator = ":";
  r.decimalSeparator = ".";
  r.thousandSeparator = ",";
  r.shortDateFormat = "M/d/yyyy";
  r.longTimeFormat = "h:mm:ss tt";
  r.amSymbol = "AM";
  r.pmSymbol = "PM";
  r.monthNames = {"January", "February", "March",     "April",   "May",      "June",
                  "July",    "August",   "September", "October", "November", "December"};
  r.abbreviatedMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  r.dayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  r.abbreviatedDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return r;
}

RegionalSettings RegionalSettings::EnglishUK() {
  RegionalSettings r = EnglishUS();
  r.dateOrder = DateOrder::DayMonthYear;
  r.shortDateFormat = "dd/MM/yyyy";
  r.longTimeFormat = "HH:mm:ss";
  r.amSymbol.clear();
  r.pmSymbol.clear();
  return r;
}

}  // namespace tavrin
