#!/usr/bin/env python3
"""Writes the WMF seeds of fuzz/seeds/wmf that reach what the test data does not: text in every
character set and with every text option, more fonts than the player caches, and bitmaps of
every depth and coding (the BMP suite's pictures in stretch-blit records and pattern brushes).
Usage: make-wmf-seeds.py BMP_SUITE_FOLDER OUTPUT_FOLDER"""
import struct
import sys

def rec(fn, *words, raw=b''):
    body=b''.join(struct.pack('<h' if w<0x8000 else '<H', w) for w in words)+raw
    if len(body)%2: body+=b'\0'
    return struct.pack('<IH', 3+len(body)//2, fn)+body
def font(height, charset, pitch=0, face=b'Arial', italic=0, underline=0, strike=0, escapement=0, weight=400):
    raw=struct.pack('<hhhhhBBBBBBBB', height, 0, escapement, escapement, weight, italic, underline, strike, charset, 0,0,0,pitch)+face.ljust(32,b'\0')
    return rec(0x02FB, raw=raw)
def textout(x,y,s):
    b=s+(b'\0' if len(s)%2 else b'')
    return rec(0x0521, raw=struct.pack('<h',len(s))+b+struct.pack('<hh',y,x))
def wmf(records, ext=(2000,2000)):
    body=rec(0x020C, ext[1], ext[0])+rec(0x020B,0,0)+b''.join(records)+rec(0)
    placeable=struct.pack('<IHhhhhHI',0x9AC6CDD7,0,0,0,ext[0],ext[1],1440,0)
    cs=0
    for i in range(0,20,2): cs^=struct.unpack('<H',placeable[i:i+2])[0]
    placeable+=struct.pack('<H',cs)
    total=(18+len(body))//2
    header=struct.pack('<HHHIHIH',1,9,0x300,total,4,200,0)
    return placeable+header+body
def charset_seeds(out):
    recs=[]
    y=100
    texts={128:b'A\x82\xa0\x82\xa2',129:b'\xb0\xa1\xb0\xa2',130:b'\x88\x61',134:b'\xb0\xa1\xc4\xe3',136:b'\xa4\x40\xa4\x41'}
    for cs in [77,128,129,130,134,136,161,162,163,177,178,186,204,222,238,255,2]:
        recs+= [font(-120, cs, 0x31 if cs==255 else 0x22), rec(0x012D,0), textout(50,y, texts.get(cs, b'Ab\xc0\xe9\xf1\x80'))]
        recs.append(rec(0x01F0,0)); y+=110
    open(out+'/charsets.wmf','wb').write(wmf(recs))

def stretchdib(dib, w, h, usage=0, rop=0x00CC0020, dst=(100,100,800,600)):
    return rec(0x0F43, rop & 0xFFFF, rop >> 16, usage, h, w, 0, 0, dst[3], dst[2], dst[1], dst[0], raw=dib)
def patternbrush(dib, usage=0):
    return rec(0x0142, 5, usage, raw=dib)
def dib_of(path):
    d=open(path,'rb').read()[14:]
    hs=struct.unpack('<I',d[:4])[0]
    if hs==12: w,h=struct.unpack('<HH',d[4:8])
    else: w,h=struct.unpack('<ii',d[4:12])
    return d,w,abs(h)
def bitmaps(suite, out):
    picks=['g/pal1.bmp','g/pal4rle.bmp','g/pal8rle.bmp','g/pal8os2.bmp','g/rgb16-565.bmp','g/pal8v5.bmp',
           'q/pal4rletrns.bmp','q/pal8rletrns.bmp','q/rgb32-111110.bmp','q/pal2.bmp','g/rgb24.bmp','q/rgba16-4444.bmp']
    for i,p in enumerate(picks):
        d,w,h=dib_of(suite+'/'+p)
        usage = 1 if p=='g/pal8rle.bmp' or p=='g/pal1.bmp' else 0
        recs=[stretchdib(d,w,h,usage)]
        if i%3==0:
            recs+=[patternbrush(d,usage), rec(0x012D,0), rec(0x041B, 900, 900, 50, 50)]
        name=p.split('/')[1].replace('.bmp','')
        open(out+'/dib-'+name+'.wmf','wb').write(wmf(recs))

def exttextout(x, y, s, options, rect=None, dx=None):
    raw=struct.pack('<hhhH', y, x, len(s), options)
    if rect: raw+=struct.pack('<hhhh',*rect)
    raw+=s+(b'\0' if len(s)%2 else b'')
    if dx: raw+=struct.pack('<%dh'%len(dx),*dx)
    return rec(0x0A32, raw=raw)
def text_seeds(out):
    recs=[rec(0x0201, 0x00FF, 0x0000)]  # background colour
    for fam in (0x30,0x40,0x50):
        recs+=[font(-150,0,fam), rec(0x012D,0), textout(50,100,b'Family'), rec(0x01F0,0)]
    recs+=[font(-4000,0,0x22,b'DejaVu Sans'), rec(0x012D,0), textout(0,1000,b'Wg'), rec(0x01F0,0)]
    recs+=[font(-200,0,0x22,underline=1,strike=1,italic=1,weight=700), rec(0x012D,0),
           exttextout(100,500,b'Hello',0x2006,(50,400,1500,700),[90,10,90,-10,90,10,90,-10,90,10]),
           exttextout(100,900,b'\x01A\x02',0x0004,(50,800,300,1000)),
           rec(0x012E, 1 | 8), textout(0,0,b'cp'), textout(0,0,b'cp2'), rec(0x01F0,0)]
    open(out+'/text-options.wmf','wb').write(wmf(recs))
    many=[]
    for i in range(260):
        many+=[font(-(20+i),0,0x22), rec(0x012D,0), textout(10,20+i*7,b'x'), rec(0x01F0,0)]
    open(out+'/many-fonts.wmf','wb').write(wmf(many))


def region_seeds(suite, out):
    scans = [(100, 400, [100, 300, 500, 900]), (400, 900, [200, 800])]
    words = [0, 6, 0, 0, 0, len(scans), 4, 100, 100, 900, 900]
    for top, bottom, xs in scans:
        words += [len(xs), top, bottom] + xs + [len(xs)]
    recs = [rec(0x02FC, 0, 0x00FF, 0, 0), rec(0x06FF, *words), rec(0x0228, 1, 0),
            rec(0x0429, 1, 0, 20, 30), rec(0x012B, 1), rec(0x012A, 1), rec(0x012C, 1),
            rec(0x012D, 0)]
    for rop in (0x000042, 0x00AA0029, 0x005A0049, 0x00550009, 0x00F00021):
        recs.append(rec(0x061D, rop & 0xFFFF, rop >> 16, 300, 400, 150, 150))
    d, w, h = dib_of(suite + '/g/pal1.bmp')
    for rop in (0xEE0086, 0x8800C6, 0x660046, 0x440328, 0x330008, 0x1100A6, 0xBB0226):
        recs.append(stretchdib(d, w, h, 0, rop, (50, 50, 600, 400)))
    open(out + '/regions-rops.wmf', 'wb').write(wmf(recs))


if __name__ == '__main__':
    region_seeds(sys.argv[1], sys.argv[2])
    charset_seeds(sys.argv[2])
    bitmaps(sys.argv[1], sys.argv[2])
    text_seeds(sys.argv[2])
