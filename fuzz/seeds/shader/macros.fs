#version 120
#define SCALE(a, b) ((a) * (b))
#define UNIT 1
#if defined(UNIT) && UNIT + 1 == 2 || 0x10 >> 2 != 4
#  define UV gl_TexCoord[UNIT]
#elif !defined GL_ES
#error never
#else
#endif
uniform sampler2D sample; /* a
   comment */ varying float active;
float round(float x) { return floor(x + 0.5); }
void main() {
    gl_FragColor = texture2D(sample, UV.st) * SCALE(round(active), \
        float(__LINE__));
    if (!gl_FrontFacing) gl_FragDepth = 0.0;
}
