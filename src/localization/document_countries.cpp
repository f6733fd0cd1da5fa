#include "localization/document_countries.h"

const DocumentCountry kDocumentCountries[18] = {
    {2057, u"GB"}, {1036, u"FR"}, {1040, u"IT"}, {1031, u"DE"}, {3082, u"ES"}, {1030, u"DK"},
    {1053, u"SE"}, {1043, u"NL"}, {1044, u"NO"}, {1033, u"US"}, {3084, u"CA"}, {2058, u"MX"},
    {1046, u"BR"}, {1029, u"CZ"}, {1045, u"PL"}, {1038, u"HU"}, {1049, u"RU"}, {1041, u"JP"},
};

const WChar* DocumentCountryOf(int32_t lcid) {
  for (const DocumentCountry& country : kDocumentCountries) {
    if (country.lcid == lcid) return country.code;
  }
  return nullptr;
}
