#version 110
// Lens distortion with colour fringes: a barrel warp that grows toward the edges, each colour
// channel bent by a slightly different amount, over a gentle ripple. Samples texture unit 0.
uniform sampler2D uSource;

vec2 warp(vec2 uv, float strength) {
    vec2 c = uv - 0.5;
    float r2 = dot(c, c);
    vec2 ripple = 0.004 * vec2(sin(uv.y * 43.0), cos(uv.x * 37.0));
    return 0.5 + c * (1.0 + strength * r2) + ripple;
}

void main() {
    vec2 uv = gl_TexCoord[0].st;
    float r = texture2D(uSource, warp(uv, 0.20)).r;
    float g = texture2D(uSource, warp(uv, 0.17)).g;
    float b = texture2D(uSource, warp(uv, 0.14)).b;
    gl_FragColor = vec4(r, g, b, 1.0);
}
