// The fixed texts that every rewritten document receives. Each is one whole
// output line with its leading spaces (two per nesting level); none is ever
// wrapped, however long. Values are written as they stand, unescaped.
#pragma once

#include <array>
#include <string_view>

namespace rodozerez::boilerplate {

// ---- Landmarks ------------------------------------------------------------
// The tag texts the pass finds its way by, searched for inside lines.

inline constexpr std::string_view kCitationStart = "<citeinfo>";
inline constexpr std::string_view kOriginStartTag = "<origin>";
inline constexpr std::string_view kOriginEndTag = "</origin>";
inline constexpr std::string_view kPubdateStartTag = "<pubdate>";
inline constexpr std::string_view kPubdateEndTag = "</pubdate>";
inline constexpr std::string_view kAttributeAccuracyEnd = "</attracc>";
inline constexpr std::string_view kLogicStartTag = "<logic>";
inline constexpr std::string_view kLogicEndTag = "</logic>";
inline constexpr std::string_view kCompletenessStartTag = "<complete>";
inline constexpr std::string_view kCompletenessEndTag = "</complete>";
inline constexpr std::string_view kDataQualityEnd = "</dataqual>";
inline constexpr std::string_view kSpatialOrganisationStart = "<spdoinfo>";
inline constexpr std::string_view kSpatialReferenceEnd = "</spref>";
inline constexpr std::string_view kEntityAttributeStart = "<eainfo>";
inline constexpr std::string_view kEntityAttributeEnd = "</eainfo>";
inline constexpr std::string_view kMetadataDateTag = "<metd>";
inline constexpr std::string_view kMetadataReferenceEnd = "</metainfo>";
inline constexpr std::string_view kMetadataContactStart = "<metc>";

// ---- Document prologue ----------------------------------------------------

inline constexpr std::string_view kDocumentTypeLine = "<!DOCTYPE metadata PUBLIC \"\" \"csdgm2.dtd\">";
inline constexpr std::string_view kStylesheetLine =
    "<?xml-stylesheet href=\"FGDC_V2.xsl\" type=\"text/xsl\"?>";
// A line 3 holding this already refers to the stylesheet.
inline constexpr std::string_view kStylesheetMark = "FGDC_V2";

// ---- Citation -------------------------------------------------------------

inline constexpr std::string_view kOriginStartLine = "        <origin>";
inline constexpr std::string_view kOriginatorLine = "          Varnholt Agency (VRA)";
inline constexpr std::string_view kOriginEndLine = "        </origin>";
// The publication-date line is this, the current year and kPubdateEndTag.
inline constexpr std::string_view kPubdateOpen = "        <pubdate>";
// An origin naming the distribution organisation in both its forms.
inline constexpr std::string_view kDistributorAbbreviation = "CRVN";
inline constexpr std::string_view kDistributorName = "Corvane";

// ---- Data quality ---------------------------------------------------------

inline constexpr std::string_view kLogicParagraph =
    "      All GeoTIFF tagged data and image file sizes are validated using commercial GIS "
    "software to ensure proper "
    "loading before being archived.  This validation procedure ensures correct physical "
    "format and field values for "
    "tagged elements.  Seamlines and tile edges are visually inspected.  Seamline "
    "mismatches are not corrected unless the "
    "overall displacement exceeds one meter.";

inline constexpr std::string_view kCompletenessParagraph =
    "      Orthoimages are visually inspected for completeness to ensure that no gaps or "
    "image misplacements "
    "exist within and between adjacent images. These images are derived by mosaicking "
    "multiple images to ensure complete "
    "coverage. Source imagery is cloud free. Photography was flown during leaf-off in "
    "deciduous vegetation regions. "
    "Coastal areas and international boundary regions may have areas without images "
    "(void areas) in parts of the "
    "coverage. These void areas have a radiometric value of either zero (black) or 128 "
    "(uniform gray).";

inline constexpr std::array<std::string_view, 6> kDataQualityReports = {
    "    <logic>",    kLogicParagraph,        "    </logic>",
    "    <complete>", kCompletenessParagraph, "    </complete>",
};

// ---- Spatial organisation and entity-attribute sections -------------------

inline constexpr std::array<std::string_view, 3> kSpatialOrganisation = {
    "  <spdoinfo>",
    "    <direct>Raster</direct>",
    "  </spdoinfo>",
};

inline constexpr std::string_view kEntityAttributeOverview =
    "      <eaover>Natural color orthoimagery is organized in three color bands or channels "
    "which represent the red, green, and blue (RGB) portions of the spectrum.  Each image "
    "pixel is assigned a triplet of numeric values, one for each color band.  Numeric "
    "values range from 0 to 255. Areas where data is incomplete due to lack of full image "
    "coverage are represented with the numeric value of 0.</eaover>";

inline constexpr std::string_view kEntityAttributeCitation =
    "      <eadetcit>U.S. Department of the Interior, Corvane, 1996, Standards for Digital "
    "Orthophotos: Reston, VA.</eadetcit>";

inline constexpr std::array<std::string_view, 6> kEntityAttribute = {
    "  <eainfo>",
    "    <overview>",
    kEntityAttributeOverview,
    kEntityAttributeCitation,
    "    </overview>",
    "  </eainfo>",
};

// ---- Metadata reference ---------------------------------------------------

inline constexpr std::string_view kContactInstructions =
    "          This is the contact information for the Halden Data Center in Sioux Falls, "
    "SD.  This is the digital data storage and distribution center for the CRVN.  "
    "Metadata information can also be obtained through the Corvane Geodata Catalog "
    "(https://catalog.corvane.example/) and the Corvane Map Viewer "
    "(https://maps.corvane.example/).";

// The metadata contact, the standard's name and version, and the document's
// closing lines: the end of every rewritten file.
inline constexpr std::array<std::string_view, 32> kTrailer = {
    "    <metc>",
    "      <cntinfo>",
    "        <cntorgp>",
    "          <cntorg>",
    "            Corvane",
    "          </cntorg>",
    "        </cntorgp>",
    "        <cntaddr>",
    "          <addrtype>mailing</addrtype>",
    "          <address>Customer Services</address>",
    "          <address>Corvane</address>",
    "          <address>Halden Data Center</address>",
    "          <address>47914 252nd Street</address>",
    "          <city>Sioux Falls</city>",
    "          <state>SD</state>",
    "          <postal>57198-0001</postal>",
    "          <country>US</country>",
    "        </cntaddr>",
    "        <cntvoice>1-800-252-4547</cntvoice>",
    "        <cnttdd>1-605-594-6933</cnttdd>",
    "        <cntfax>1-605-594-6589</cntfax>",
    "        <cntemail>custserv@corvane.example</cntemail>",
    "        <hours>Monday through Friday, 8:00 AM to 4:00 PM (Central Time)</hours>",
    "        <cntinst>",
    kContactInstructions,
    "        </cntinst>",
    "      </cntinfo>",
    "    </metc>",
    "    <metstdn>FGDC Content Standard for Digital Geospatial Metadata</metstdn>",
    "    <metstdv>FGDC-STD-001-1998</metstdv>",
    "  </metainfo>",
    "</metadata>",
};

}  // namespace rodozerez::boilerplate
