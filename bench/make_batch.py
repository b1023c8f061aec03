"""Writes a realistic batch of templates: CR LF, one element per line,
about 8 KB and 150 lines each, every landmark the tool needs in place."""
import os
import sys

HEAD = """<?xml version="1.0" encoding="ISO-8859-1"?>
<!DOCTYPE metadata SYSTEM "http://www.fgdc.gov/metadata/fgdc-std-001-1998.dtd">
<metadata>
  <idinfo>
    <citation>
      <citeinfo>
        <origin>
          Corvane (CRVN)
        </origin>
        <pubdate>2004</pubdate>
        <title>Digital Orthophoto Quarter Quadrangle {n}, Natural Color, 1 Meter</title>
        <geoform>remote-sensing image</geoform>
        <onlink>https://geodata.corvane.example/doqq/{n}.tif</onlink>
      </citeinfo>
    </citation>
    <descript>
      <abstract>This data set contains imagery from the Zeph orthoimagery contract, tile {n}. The imagery is natural color at one meter ground sample distance, rectified to a common map projection and mosaicked from several exposures.</abstract>
      <purpose>Base imagery for mapping, planning and resource management by the agencies that share the contract.</purpose>
    </descript>"""

BODY_LINE = "      <themekey>orthoimage keyword {i}, tile {n}, leaf-off</themekey>"

TAIL = """  </idinfo>
  <dataqual>
    <attracc>
      <attraccr>Attribute accuracy is not applicable to image data.</attraccr>
    </attracc>
    <posacc>
      <horizpa>
        <horizpar>The imagery meets National Map Accuracy Standards at 1:12,000 scale.</horizpar>
      </horizpa>
    </posacc>
    <lineage>
      <procstep>
        <procdesc>The photography was scanned, rectified with ground control and a digital elevation model, and mosaicked.</procdesc>
        <procdate>20040115</procdate>
      </procstep>
    </lineage>
  </dataqual>
  <spref>
    <horizsys>
      <planar>
        <gridsys>
          <gridsysn>Universal Transverse Mercator</gridsysn>
          <utm>
            <utmzone>14</utmzone>
          </utm>
        </gridsys>
      </planar>
    </horizsys>
  </spref>
  <distinfo>
    <distliab>None</distliab>
  </distinfo>
  <metainfo>
    <metd>20040115</metd>
    <metc>
      <cntinfo>
        <cntperp>
          <cntper>Template Author</cntper>
        </cntperp>
      </cntinfo>
    </metc>
    <metstdn>FGDC Content Standard for Digital Geospatial Metadata</metstdn>
    <metstdv>FGDC-STD-001-1998</metstdv>
  </metainfo>
</metadata>"""


def template(n):
    head = HEAD.format(n=n).split("\n")
    tail = TAIL.split("\n")
    body = ["    <keywords>", "      <theme>"]
    while len(head) + len(body) + len(tail) < 148:
        body.append(BODY_LINE.format(i=len(body), n=n))
    body += ["      </theme>", "    </keywords>"]
    return "\r\n".join(head + body + tail) + "\r\n"


def main_with(folder, count):
    os.makedirs(folder, exist_ok=True)
    for n in range(count):
        name = "doqq-%05d.xml" % n
        with open(os.path.join(folder, name), "wb") as f:
            f.write(template("%05d" % n).encode("latin-1"))


if __name__ == "__main__":
    main_with(sys.argv[1], int(sys.argv[2]))
